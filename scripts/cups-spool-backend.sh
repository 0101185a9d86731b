#!/bin/sh
# A CUPS backend that stores every job as its own file, so tests can look at
# each job that reached a queue. Device URI: dunmarrow-spool:/absolute/folder
#
# For job N it writes N.info (title, user, copies, options) and then N.prn,
# the data exactly as the scheduler delivered it; N.prn appears whole.

if [ $# -eq 0 ]; then
  echo 'file dunmarrow-spool "Unknown" "Dunmarrow spool folder"'
  exit 0
fi
if [ $# -lt 5 ] || [ $# -gt 6 ]; then
  echo "Usage: dunmarrow-spool job-id user title copies options [file]" >&2
  exit 1
fi

# "dunmarrow-spool:/folder#pdf" names the files N.pdf instead of N.prn.
location=${DEVICE_URI#dunmarrow-spool:}
folder=${location%%#*}
extension=prn
case "$location" in *#*) extension=${location##*#} ;; esac
case "$folder" in
  /*) ;;
  *) echo "ERROR: device URI must name an absolute folder" >&2; exit 1 ;;
esac

umask 022
job=$1
{
  printf 'title=%s\n' "$3"
  printf 'user=%s\n' "$2"
  printf 'copies=%s\n' "$4"
  printf 'options=%s\n' "$5"
} > "$folder/$job.info" || exit 1

if [ $# -eq 6 ]; then
  cat "$6" > "$folder/$job.part" || exit 1
else
  cat > "$folder/$job.part" || exit 1
fi
mv "$folder/$job.part" "$folder/$job.$extension"
exit 0

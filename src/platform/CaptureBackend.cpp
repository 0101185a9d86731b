// The CUPS backend of capture ports, "dunmarrow-capture:/percent-encoded/path".
//
// It writes a job's data into the file a capture port names, and only there:
// the port must be on the administrator's list of capture ports, and the file
// is opened with the rights of the user who listed it, never more. It never
// creates, follows a link or writes a file with other hard links. Installed
// mode 0700 the scheduler runs it as root, so it can reach the user's folder;
// it gives the root rights up before it opens anything.
//
// Deliberately plain C++ without Qt: it runs for every captured job, as root.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kPrefix[] = "dunmarrow-capture:";
constexpr int kBackendFailed = 1; // CUPS_BACKEND_FAILED: this job only

int fail(const char *message)
{
    std::fprintf(stderr, "ERROR: %s\n", message);
    return kBackendFailed;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool percentDecode(const std::string &text, std::string *out)
{
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out->push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out->find('\0') == std::string::npos;
}

// Absolute, a ".prn.tmp" file, and no "." or ".." step to hide where it is.
bool isPlausiblePort(const std::string &path)
{
    const std::string suffix = ".prn.tmp";
    if (path.empty() || path[0] != '/' || path.size() <= suffix.size()
        || path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    return path.find("/../") == std::string::npos && path.find("/./") == std::string::npos;
}

// The uid that listed the port, or -1 when it is not listed.
long listedOwner(const std::string &port)
{
    const char *root = std::getenv("CUPS_SERVERROOT");
    const std::string list = std::string(root && *root ? root : "/etc/cups") + "/dunmarrow-capture-ports";
    FILE *file = std::fopen(list.c_str(), "re");
    if (!file)
        return -1;
    long owner = -1;
    char *line = nullptr;
    size_t capacity = 0;
    ssize_t length = 0;
    while (owner < 0 && (length = ::getline(&line, &capacity, file)) > 0) {
        std::string entry(line, static_cast<size_t>(length));
        if (!entry.empty() && entry.back() == '\n')
            entry.pop_back();
        const size_t tab = entry.find('\t');
        if (tab == std::string::npos || tab == 0 || entry.compare(tab + 1, std::string::npos, port) != 0)
            continue;
        char *end = nullptr;
        const long uid = std::strtol(entry.c_str(), &end, 10);
        if (end == entry.c_str() + tab && uid >= 0)
            owner = uid;
    }
    std::free(line);
    std::fclose(file);
    return owner;
}

struct Account
{
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;
};

bool becomeUser(const Account &account)
{
    if (::geteuid() == account.uid)
        return true;
    if (::geteuid() != 0)
        return false; // another user's port: out of reach, as it should be
    if (::initgroups(account.name.c_str(), account.gid) != 0)
        return false;
    // Checked: root must be gone for good, not just set aside.
    return ::setgid(account.gid) == 0 && ::setuid(account.uid) == 0 && ::setuid(0) != 0;
}

bool copyAll(int from, int to)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno != EINTR)
                return false;
            done += put > 0 ? put : 0;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 1)
        return 0; // nothing to discover: capture ports are made, not found
    if (argc < 6 || argc > 7)
        return fail("Usage: dunmarrow-capture job-id user title copies options [file]");

    const char *uri = std::getenv("DEVICE_URI");
    std::string port;
    if (!uri || std::strncmp(uri, kPrefix, sizeof kPrefix - 1) != 0
        || !percentDecode(uri + sizeof kPrefix - 1, &port) || !isPlausiblePort(port))
        return fail("The device URI does not name a capture port");
    const long owner = listedOwner(port);
    if (owner < 0)
        return fail("The capture port is not on the list of capture ports");
    // Only the owner's own jobs: nobody else's data goes into their cache.
    const struct passwd *found = ::getpwuid(static_cast<uid_t>(owner));
    if (!found)
        return fail("The owner of the capture port has no account");
    const Account account{found->pw_uid, found->pw_gid, found->pw_name};
    if (account.name != argv[2])
        return fail("The job was not submitted by the owner of the capture port");

    // The job's file is opened before the rights are given up; the port after.
    int input = STDIN_FILENO;
    if (argc == 7 && (input = ::open(argv[6], O_RDONLY | O_CLOEXEC)) < 0)
        return fail("Unable to read the job's data");
    if (!becomeUser(account))
        return fail("Unable to act as the owner of the capture port");

    struct stat before{};
    if (::lstat(port.c_str(), &before) != 0 || !S_ISREG(before.st_mode) || before.st_nlink != 1)
        return fail("The capture port is not a plain file");
    const int output = ::open(port.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    struct stat opened{};
    if (output < 0 || ::fstat(output, &opened) != 0 || opened.st_dev != before.st_dev
        || opened.st_ino != before.st_ino)
        return fail("Unable to open the capture port");
    // Held while writing: the program waits for the file to be let go.
    ::flock(output, LOCK_EX);

    // With the job's file given, no filter ran and copies are ours to make.
    const int copies = argc == 7 ? std::max(1, std::atoi(argv[4])) : 1;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && ::lseek(input, 0, SEEK_SET) < 0)
            return fail("Unable to read the job's data again");
        if (!copyAll(input, output))
            return fail("Unable to write the capture port");
    }
    if (::fsync(output) != 0 || ::close(output) != 0)
        return fail("Unable to write the capture port");
    return 0;
}

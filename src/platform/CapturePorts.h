#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Capture ports, the counterpart of the local port monitor's file ports: a
// port is the path of a file that a temporary printer's device writes its
// jobs into. A port exists once it is recorded in the scheduler's list of
// capture ports, which only the administrator may change. The capture
// backend (device scheme "dunmarrow-capture") writes only into a port on
// that list, with the rights of the user who recorded it, so the list can
// never be used to write where that user could not.
namespace Platform {

inline constexpr char kCaptureScheme[] = "dunmarrow-capture";

struct CapturePort
{
    QString path;
    uint ownerUid = 0;
};

// The list: "dunmarrow-capture-ports" in the scheduler's configuration
// folder (CUPS_SERVERROOT, else /etc/cups), one "uid<TAB>path" per line.
QString capturePortListPath();

// XcvData "AddPort" / "DeletePort". False (last error set) when the call
// itself fails: no right to change the list (ErrorAccessDenied), an unknown
// command (ErrorInvalidParameter). Otherwise true, with the outcome in
// status: 0, ErrorAlreadyExists for a port already listed, ErrorUnknownPort
// for one that is not, ErrorInvalidName for a name no list line can hold.
bool xcvData(const QString &command, const QString &port, uint ownerUid, quint32 *status);

// EnumPorts: the capture ports listed. False when the list cannot be read.
bool enumCapturePorts(QList<CapturePort> *ports);

// The device URI that writes into a port, and back: the port a device URI
// writes into, or the URI itself for any other device.
QByteArray captureDeviceUri(const QString &port);
QString portOfDeviceUri(const QByteArray &uri);

} // namespace Platform

#pragma once

// Some kernels run no 32-bit program at all (sandboxes among them), and there the tests run the 32-bit host under
// qemu's user-mode emulation; a real point-of-sale computer runs it natively.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

// Empty when this machine can run the 32-bit host, natively or through qemu-i386 (then SAT_BIBLIOTECA_HOSPEDEIRO32
// names the script that does it); otherwise why not, for QSKIP.
inline QString prepare32BitHost()
{
#ifndef SAT_HOST32_PATH
    return QStringLiteral("compilado sem o hospedeiro de 32 bits (SAT_HOST32=OFF)");
#else
    QProcess native;
    native.start(QStringLiteral(SAT_HOST32_PATH), {});
    native.closeWriteChannel();
    if (native.waitForFinished(10000) && native.error() != QProcess::FailedToStart && native.exitCode() == 0)
        return QString();
    if (QStandardPaths::findExecutable(QStringLiteral("qemu-i386")).isEmpty())
        return QStringLiteral("este kernel não roda programas de 32 bits e falta o qemu-i386 (pacote qemu-user)");
    qputenv("SAT_BIBLIOTECA_HOSPEDEIRO32", SAT_TEST_LIBRARIES_DIR "/sat-hospedeiro32-qemu");
    return QString();
#endif
}

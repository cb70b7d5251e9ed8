#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What one command received, copied at command time: the library's answer and
// the decoding buffer are only valid until the next call.
struct CommandResult {
    enum class Kind { Sale, Cancellation, TestReceipt, Status, Log, Raw };

    Kind kind = Kind::Raw;
    QDateTime when; // this computer's clock at capture
    QString command; // the command's title as the tool shows it ("Venda", "Cancela Venda", ...)
    QByteArray document; // decoded bytes exactly as the device sent them (receipt XML, log), empty when none
    QByteArray answer; // copy of the library's whole answer text
};

// Kinds whose document is a CF-e receipt, shown as its extract.
inline bool isReceipt(CommandResult::Kind kind)
{
    return kind == CommandResult::Kind::Sale || kind == CommandResult::Kind::Cancellation
        || kind == CommandResult::Kind::TestReceipt;
}

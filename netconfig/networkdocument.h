#pragma once

#include <QByteArray>
#include <QString>

// The network configuration document sent to ConfigurarInterfaceDeRede, built
// from plain values so that it can be made and checked without a window.

enum class ProxyMode { None = 0, Configured = 1, Transparent = 2 };

struct NetworkSettings {
    bool dhcp = true; // false: fixed address (IPFIX)

    // DHCP only.
    QString user;
    QString password;

    // Fixed address only: the address fields' texts as a masked line edit
    // returns them, e.g. "192.168.0.1" or "..." when empty.
    QString ip;
    QString mask;
    QString gateway;
    QString dns1;
    QString dns2;

    ProxyMode proxy = ProxyMode::None;
    // Proxy modes 1 and 2 only.
    QString proxyIp;
    QString proxyPort;
    QString proxyUser;
    QString proxyPassword;
};

// The proxy mode for a ConfProxy index: 0 none, 1 configured, anything else transparent.
ProxyMode proxyModeFromIndex(int index);

// How an address field's octets are read: at most three characters each
// (address, mask, proxy address) or with no width (gateway, name servers).
// With the form's input mask both give the same octets.
enum class OctetWidth { Three, Free };

// An address field's text with each of its four octets written with three
// digits ("192.168.0.1" gives "192.168.000.001"). Octets the text does not
// supply are 0. No range check: "999" stays "999".
QByteArray normalisedAddress(const QString& fieldText, OctetWidth width);

// The kinds of character that XML 1.0 cannot carry.
enum class XmlUnfit {
    None,
    ControlCharacter, // below U+0020, other than tab, line feed and carriage return
    Noncharacter, // U+FFFE, U+FFFF
    LoneSurrogate, // half of a UTF-16 surrogate pair without the other half
};

struct XmlUnfitCharacter {
    XmlUnfit kind = XmlUnfit::None;
    char16_t code = 0; // the UTF-16 unit
};

// The first character of the text that XML 1.0 cannot carry; kind None when there is none.
XmlUnfitCharacter firstXmlUnfitCharacter(const QString& text);

// False when the text holds a character that XML 1.0 cannot carry.
bool carriesInXml(const QString& text);

// The serialised document, "<?xml version=\"1.0\"?>\n<config>...</config>\n",
// with text values passed to libxml2 as UTF-8. Empty when libxml2 could not
// create the document or a text value does not carry in XML (carriesInXml).
QByteArray buildNetworkDocument(const NetworkSettings& settings);

#include "codec/base64.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray decoded(const char* text)
{
    const std::size_t length = decodeBase64(text);
    return QByteArray(decodeBuffer(), qsizetype(length));
}

QByteArray randomBytes(QRandomGenerator& random, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// Bytes the decoder must skip, the neighbours of the table's range included.
const QByteArray ForeignBytes = QByteArrayLiteral("= \t\r\n-_|*,.:@[`{~\x01\x7f\x80\xc3\xff");

QByteArray withNoise(QRandomGenerator& random, const QByteArray& text, int oneIn)
{
    QByteArray noisy;
    noisy.reserve(text.size() * 2);
    for (char c : text) {
        while (random.bounded(oneIn) == 0)
            noisy.append(ForeignBytes.at(random.bounded(int(ForeignBytes.size()))));
        noisy.append(c);
    }
    if (random.bounded(2))
        noisy.append(ForeignBytes.at(random.bounded(int(ForeignBytes.size()))));
    return noisy;
}

QByteArray wrapped(const QByteArray& text, int columns, const QByteArray& lineEnd)
{
    QByteArray lines;
    for (qsizetype at = 0; at < text.size(); at += columns)
        lines += text.mid(at, columns) + lineEnd;
    return lines;
}

} // namespace

class TestBase64 : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void nullTextGivesNothing();
    void matchesEncoderThroughNoise_data();
    void matchesEncoderThroughNoise();
    void outputIsCutAtBufferSize_data();
    void outputIsCutAtBufferSize();
    void shortDecodingAfterLongOne();
};

void TestBase64::decodes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    // RFC 4648, section 10.
    QTest::newRow("rfc empty") << QByteArray("") << QByteArray();
    QTest::newRow("rfc f") << QByteArray("Zg==") << QByteArray("f");
    QTest::newRow("rfc fo") << QByteArray("Zm8=") << QByteArray("fo");
    QTest::newRow("rfc foo") << QByteArray("Zm9v") << QByteArray("foo");
    QTest::newRow("rfc foob") << QByteArray("Zm9vYg==") << QByteArray("foob");
    QTest::newRow("rfc fooba") << QByteArray("Zm9vYmE=") << QByteArray("fooba");
    QTest::newRow("rfc foobar") << QByteArray("Zm9vYmFy") << QByteArray("foobar");
    QTest::newRow("rfc f unpadded") << QByteArray("Zg") << QByteArray("f");
    QTest::newRow("rfc fo unpadded") << QByteArray("Zm8") << QByteArray("fo");
    QTest::newRow("rfc foob unpadded") << QByteArray("Zm9vYg") << QByteArray("foob");
    QTest::newRow("rfc fooba unpadded") << QByteArray("Zm9vYmE") << QByteArray("fooba");

    QTest::newRow("whole alphabet") << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
                                    << QByteArray::fromHex("00108310518720928b30d38f41149351559761969b71d79f82"
                                                           "18a39259a7a29aabb2dbafc31cb3d35db7e39ebbf3dfbf");
    QTest::newRow("last alphabet byte after a break") << QByteArray("Zm9\nv") << QByteArray("foo");
    QTest::newRow("last alphabet byte after foreign bytes") << QByteArray("Zm9vYmF\r\n\xff=y") << QByteArray("foobar");

    QTest::newRow("lines split by LF") << QByteArray("Zm9v\nYmFy\n") << QByteArray("foobar");
    QTest::newRow("lines split by CRLF inside a quantum") << QByteArray("Zm\r\n9vYm\r\nFy\r\n") << QByteArray("foobar");
    QTest::newRow("lines split by CR") << QByteArray("Zm9vY\rmFy") << QByteArray("foobar");

    // Padding does not close a quantum: "ZgZg" and "Zm8YmFy" are what is decoded.
    QTest::newRow("text after padding") << QByteArray("Zg==Zg==") << QByteArray("f\x06`");
    QTest::newRow("text after single padding") << QByteArray("Zm8=YmFy") << QByteArray("fo\x18\x98\\");

    QTest::newRow("url-safe characters skipped") << QByteArray("Zm9v-YmFy_") << QByteArray("foobar");
    QTest::newRow("url-safe characters only") << QByteArray("-_-_") << QByteArray();
    QTest::newRow("neighbours of the alphabet skipped") << QByteArray("*Zm:9@v[`{") << QByteArray("foo");
    QTest::newRow("bytes of 128 or more skipped") << QByteArray("\x80Zm9\xffv\xc3\xa9") << QByteArray("foo");

    QTest::newRow("padding only") << QByteArray("====") << QByteArray();
    QTest::newRow("blanks and line breaks only") << QByteArray(" \t\r\n \n") << QByteArray();
    QTest::newRow("separators only") << QByteArray("|||") << QByteArray();
    QTest::newRow("bytes of 128 or more only") << QByteArray("\xc3\xa9\x80\xff") << QByteArray();
    QTest::newRow("single alphabet character") << QByteArray("Z") << QByteArray();
    QTest::newRow("single alphabet character padded") << QByteArray("Z===") << QByteArray();
    QTest::newRow("lone sixth after whole quanta") << QByteArray("Zm9vY") << QByteArray("foo");
}

void TestBase64::decodes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);

    QCOMPARE(decoded(text.constData()), expected);
}

void TestBase64::nullTextGivesNothing()
{
    QCOMPARE(decoded("Zm9vYmFy"), QByteArray("foobar"));
    QCOMPARE(decodeBase64(nullptr), std::size_t(0));
}

void TestBase64::matchesEncoderThroughNoise_data()
{
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<bool>("padded");
    QTest::addColumn<int>("noiseOneIn"); // 0: no foreign bytes added

    QTest::newRow("small, padded, clean") << 40 << true << 0;
    QTest::newRow("small, unpadded, clean") << 40 << false << 0;
    QTest::newRow("small, padded, dense noise") << 40 << true << 2;
    QTest::newRow("small, unpadded, sparse noise") << 40 << false << 9;
    QTest::newRow("large, padded, sparse noise") << 5000 << true << 50;
    QTest::newRow("large, unpadded, dense noise") << 5000 << false << 3;
}

// Random data through Qt's encoder and back, with foreign bytes scattered so
// that quanta straddle them at every offset.
void TestBase64::matchesEncoderThroughNoise()
{
    QFETCH(int, maxSize);
    QFETCH(bool, padded);
    QFETCH(int, noiseOneIn);

    QRandomGenerator random(20240517u + quint32(maxSize) * 7 + quint32(noiseOneIn) * 3 + (padded ? 1 : 0));
    const auto options = padded ? QByteArray::Base64Encoding : QByteArray::OmitTrailingEquals;
    for (int round = 0; round < 300; ++round) {
        const QByteArray data = randomBytes(random, random.bounded(maxSize + 1));
        QByteArray text = data.toBase64(options);
        if (noiseOneIn > 0)
            text = withNoise(random, text, noiseOneIn);
        const QByteArray result = decoded(text.constData());
        if (result != data)
            QFAIL(qPrintable(QStringLiteral("round %1: %2 decoded to %3, expected %4")
                                 .arg(round)
                                 .arg(QString::fromLatin1(text.toPercentEncoding()),
                                      QString::fromLatin1(result.toHex()), QString::fromLatin1(data.toHex()))));
    }
}

void TestBase64::outputIsCutAtBufferSize_data()
{
    QTest::addColumn<qsizetype>("dataSize");
    QTest::addColumn<bool>("wrapped");
    QTest::addColumn<qsizetype>("expectedLength");

    const auto full = qsizetype(DecodeBufferSize);
    QTest::newRow("one byte short of the buffer") << full - 1 << false << full - 1;
    QTest::newRow("exactly the buffer") << full << false << full;
    QTest::newRow("partial quantum past the end") << full + 1 << false << full;
    QTest::newRow("whole quanta past the end") << full + 300 << false << full;
    QTest::newRow("whole quanta past the end, CRLF lines") << full + 300 << true << full;
    QTest::newRow("twice the buffer, CRLF lines") << 2 * full << true << full;
}

void TestBase64::outputIsCutAtBufferSize()
{
    QFETCH(qsizetype, dataSize);
    QFETCH(bool, wrapped);
    QFETCH(qsizetype, expectedLength);

    QRandomGenerator random(7u);
    const QByteArray data = randomBytes(random, dataSize);
    QByteArray text = data.toBase64();
    if (wrapped)
        text = ::wrapped(text, 76, "\r\n");

    const std::size_t length = decodeBase64(text.constData());
    QCOMPARE(qsizetype(length), expectedLength);
    QVERIFY(QByteArray::fromRawData(decodeBuffer(), expectedLength) == data.left(expectedLength));
}

// Callers read exactly the returned length, so a short decoding never shows
// the tail of a longer one before it.
void TestBase64::shortDecodingAfterLongOne()
{
    const QByteArray longText = QByteArray(1024 * 1024, 'x').toBase64();
    QCOMPARE(decodeBase64(longText.constData()), std::size_t(1024 * 1024));

    QCOMPARE(decoded("Zm9v"), QByteArray("foo"));
    QCOMPARE(decodeBase64(longText.constData()), std::size_t(1024 * 1024));
    QCOMPARE(decodeBase64("===="), std::size_t(0));
}

QTEST_APPLESS_MAIN(TestBase64)
#include "tst_base64.moc"

#include "codec/answer.h"

#include <QTest>

class TestAnswerField : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void tail_data();
    void tail();
    void nullAnswer();

private:
    static void addColumns();
    static void check(AnswerField (*read)(const char*, int));
};

void TestAnswerField::addColumns()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("expected");
}

// The field must point into the answer itself and cover exactly the expected bytes.
void TestAnswerField::check(AnswerField (*read)(const char*, int))
{
    QFETCH(QByteArray, answer);
    QFETCH(int, n);
    QFETCH(bool, found);
    QFETCH(QByteArray, expected);

    const AnswerField field = read(answer.constData(), n);
    if (!found) {
        QVERIFY(!field.begin);
        QCOMPARE(field.length, std::size_t(0));
        return;
    }
    QVERIFY(field.begin);
    QVERIFY(field.begin >= answer.constData());
    QVERIFY(field.begin + field.length <= answer.constData() + answer.size());
    QCOMPARE(QByteArray(field.begin, qsizetype(field.length)), expected);
}

void TestAnswerField::field_data()
{
    addColumns();
    QTest::newRow("seventh field followed by others")
        << QByteArray("123456|06000|0000|Emitido com sucesso|||RECIBO|20240101120000|CFe35|0|0") << 6 << true
        << QByteArray("RECIBO");
    QTest::newRow("seventh field to the end")
        << QByteArray("1|2|3|4|5|6|Zm9vYmFy") << 6 << true << QByteArray("Zm9vYmFy");
    QTest::newRow("fewer separators") << QByteArray("1|2|3|4|5|6") << 6 << false << QByteArray();
    QTest::newRow("answer ends at the separator") << QByteArray("1|2|3|4|5|6|") << 6 << true << QByteArray("");
    QTest::newRow("empty field between separators") << QByteArray("1|2|3|4|5|6||8") << 6 << true << QByteArray("");
    QTest::newRow("all earlier fields empty") << QByteArray("||||||X|") << 6 << true << QByteArray("X");
    QTest::newRow("second field") << QByteArray("123|06000|rest") << 1 << true << QByteArray("06000");
    QTest::newRow("no separator") << QByteArray("Erro interno") << 1 << false << QByteArray();
    QTest::newRow("empty answer") << QByteArray("") << 1 << false << QByteArray();
    QTest::newRow("8-bit bytes kept") << QByteArray("a|\xe7\xe3o|b") << 1 << true << QByteArray("\xe7\xe3o");
}

void TestAnswerField::field()
{
    check(answerField);
}

void TestAnswerField::tail_data()
{
    addColumns();
    QTest::newRow("later separators kept")
        << QByteArray("1|2|3|4|5|TG9n|more|end") << 5 << true << QByteArray("TG9n|more|end");
    QTest::newRow("exactly five separators")
        << QByteArray("123|15000|0000|Transferência completa|35|TG9n") << 5 << true << QByteArray("TG9n");
    QTest::newRow("four separators") << QByteArray("1|2|3|4|TG9n") << 5 << false << QByteArray();
    QTest::newRow("answer ends at the separator") << QByteArray("1|2|3|4|5|") << 5 << true << QByteArray("");
    QTest::newRow("empty fields before the tail") << QByteArray("|||||TG9n|") << 5 << true << QByteArray("TG9n|");
    QTest::newRow("no separator") << QByteArray("TG9n") << 1 << false << QByteArray();
}

void TestAnswerField::tail()
{
    check(answerTail);
}

void TestAnswerField::nullAnswer()
{
    const AnswerField field = answerField(nullptr, 6);
    QVERIFY(!field.begin);
    QCOMPARE(field.length, std::size_t(0));
    const AnswerField tail = answerTail(nullptr, 5);
    QVERIFY(!tail.begin);
    QCOMPARE(tail.length, std::size_t(0));
}

QTEST_APPLESS_MAIN(TestAnswerField)
#include "tst_answerfield.moc"

// Frames and payloads of the scale protocol: what a peer sends is cut into
// frames however it arrives, and every malformed stream fails cleanly.

#include "comm/Protocol.h"

#include <QTest>

using namespace korvo::proto;

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void crcOfCheckText() { QCOMPARE(Crc32("123456789"), 0xCBF43926u); }
    void framesInAnyChunks();
    void badStreams_data();
    void badStreams();
    void batchesFitAndParseBack();
};

void TestProtocol::framesInAnyChunks()
{
    const QByteArray a = BuildFrame(Hello, 7, HelloPayload({kVersion, 2021, QStringLiteral("test")}));
    const QByteArray b = BuildFrame(Bye | kReplyBit, 8, ReplyPayload(Ok, QStringLiteral("OK")));
    const QByteArray stream = a + b;
    for (int chunk : {1, 5, 13, int(stream.size())}) {
        FrameReader reader;
        QVector<Frame> got;
        for (int i = 0; i < stream.size(); i += chunk) {
            reader.feed(stream.mid(i, chunk));
            Frame f;
            while (reader.next(f) == FrameReader::Status::Frame)
                got.push_back(f);
        }
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0].seq, 7u);
        const auto hello = ParseHello(got[0].payload);
        QVERIFY(hello);
        QCOMPARE(hello->scaleNo, 2021u);
        QCOMPARE(got[1].type, quint8(Bye | kReplyBit));
        QCOMPARE(ParseReply(got[1].payload)->text, QStringLiteral("OK"));
        QCOMPARE(reader.buffered(), 0);
    }
}

void TestProtocol::badStreams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QByteArray good = BuildFrame(WritePlu, 1, QByteArray(100, 'x'));
    QByteArray crc = good;
    crc[20] = 'y';
    QByteArray version = good;
    version[2] = 2;
    QByteArray huge = good.left(8);
    huge += QByteArray::fromHex("00100001"); // one byte over the limit, no payload follows
    QTest::newRow("garbage") << QByteArray("HTTP/1.1 200 OK\r\n") << "bad magic";
    QTest::newRow("version") << version << "version 2";
    QTest::newRow("over the limit") << huge << "exceeds the limit";
    QTest::newRow("checksum") << crc << "checksum";
}

void TestProtocol::badStreams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    FrameReader reader;
    reader.feed(bytes);
    Frame f;
    QCOMPARE(reader.next(f), FrameReader::Status::Error);
    QVERIFY2(reader.error().contains(error), qPrintable(reader.error()));
    // Failed for good: later good frames are not read.
    reader.feed(BuildFrame(Bye, 1, {}));
    QCOMPARE(reader.next(f), FrameReader::Status::Error);
}

void TestProtocol::batchesFitAndParseBack()
{
    QVector<PluEntry> plus;
    for (quint32 i = 1; i <= 500; ++i)
        plus.push_back({i, i % 7, QByteArray(int(20 + i % 50), char(i))});
    const QVector<QByteArray> batches = PluBatches(plus, 4096);
    QVERIFY(batches.size() > 5);
    QVector<PluEntry> back;
    for (const QByteArray &b : batches) {
        QVERIFY(b.size() <= 4096);
        Reader r(b);
        const quint16 n = r.u16();
        const auto entries = ParsePluEntries(r, n);
        QVERIFY(entries && r.atEnd());
        back += *entries;
    }
    QCOMPARE(back.size(), plus.size());
    QCOMPARE(back.last().record, plus.last().record);
    QCOMPARE(back.last().mg, plus.last().mg);

    // Counts that promise more entries than the bytes hold are refused.
    const QByteArray lyingBytes = QByteArray::fromHex("FFFF0000000100000001000141"); // the reader only views it
    Reader lying(lyingBytes);
    QVERIFY(!ParsePluEntries(lying, lying.u16()));
    QVERIFY(!ParseDelete(QByteArray::fromHex("000300000001")));
    QVERIFY(!ParseNamed(WriteDept, QByteArray::fromHex("01FFFF"), nullptr));

    const QVector<QByteArray> empty = NamedBatches(WriteDept, {}, 4096);
    QCOMPARE(empty.size(), 1); // an empty table still empties the scale's
    quint8 flags = 0;
    QCOMPARE(ParseNamed(WriteDept, empty.first(), &flags)->size(), 0);
    QCOMPARE(flags, kReplaceAll);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"

#include "map/MapIndex.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest/QTest>

using namespace vellmar::map;

namespace {

QString lf(const char *text) { return QString::fromLatin1(text); }

QStringList allLines(const QString &text)
{
    QStringList lines;
    IndexLines reader(text);
    while (!reader.atEnd())
        lines << reader.next().toString();
    return lines;
}

// An entry's settings in a short, comparable form: "file:a.jpg size:50 x:-12 y:-7".
QString summary(const MapEntry &entry)
{
    QStringList parts;
    for (const MapSetting &s : entry.settings) {
        switch (s.kind) {
        case MapSetting::Kind::PictureFile:
            parts << u"file:" + s.pictureFile;
            break;
        case MapSetting::Kind::GridSize:
            parts << u"size:" + QString::number(s.gridSize);
            break;
        case MapSetting::Kind::GridOffsetX:
            parts << u"x:" + QString::number(s.offset);
            break;
        case MapSetting::Kind::GridOffsetY:
            parts << u"y:" + QString::number(s.offset);
            break;
        }
    }
    return parts.join(u' ');
}

} // namespace

class TestMapIndex : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linesEndAtCrLfOrALoneCrOrAtLfWhenThereIsNoCr_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << lf("a\r\nb") << QStringList{lf("a"), lf("b")};
        QTest::newRow("lone CR") << lf("a\rb") << QStringList{lf("a"), lf("b")};
        QTest::newRow("with a CR in the text, a lone LF stays in the line")
            << lf("a\nb\r\nc") << QStringList{lf("a\nb"), lf("c")};
        QTest::newRow("no CR anywhere: LF ends lines")
            << lf("a\nb\n\nc\n") << QStringList{lf("a"), lf("b"), QString(), lf("c")};
        QTest::newRow("no CR, no final line end") << lf("a\nb") << QStringList{lf("a"), lf("b")};
        QTest::newRow("nothing after a final line end") << lf("a\r\n") << QStringList{lf("a")};
        QTest::newRow("CR then CR LF: an empty line") << lf("a\r\r\nb") << QStringList{lf("a"), QString(), lf("b")};
        QTest::newRow("LF after CR LF starts a line") << lf("a\r\n\n") << QStringList{lf("a"), lf("\n")};
        QTest::newRow("empty text") << QString() << QStringList{};
        QTest::newRow("only a line end") << lf("\r\n") << QStringList{QString()};
    }
    void linesEndAtCrLfOrALoneCrOrAtLfWhenThereIsNoCr()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(allLines(text), lines);
    }

    void namesAreListedInFileOrder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("two entries") << lf("mapname=Keep\r\nmapfile=k.jpg\r\nmapname=Town\r\nmapfile=t.jpg\r\n")
                                     << QStringList{lf("Keep"), lf("Town")};
        QTest::newRow("remarks, blanks and short lines anywhere")
            << lf("; maps\r\n\r\nmap\r\nmapname=A\r\nmapnam\r\n\r\nm\r\nmapname=B") << QStringList{lf("A"), lf("B")};
        QTest::newRow("keys are case-sensitive") << lf("MapName=A\r\nMAPNAME=B\r\nmapname=C") << QStringList{lf("C")};
        QTest::newRow("any separator") << lf("mapname:A\r\nmapname B\r\nmapname\tC")
                                       << QStringList{lf("A"), lf("B"), lf("C")};
        QTest::newRow("value untrimmed: two blanks keep one")
            << lf("mapname  Old Mill  ") << QStringList{lf(" Old Mill  ")};
        QTest::newRow("only the key's beginning is compared") << lf("mapnameX=A") << QStringList{lf("=A")};
        QTest::newRow("key without separator or value")
            << lf("mapname\r\nmapname=") << QStringList{QString(), QString()};
        QTest::newRow("duplicates are both listed") << lf("mapname=A\r\nmapname=A") << QStringList{lf("A"), lf("A")};
        QTest::newRow("no entries") << lf("mapfile=a.jpg\r\nmap10size=4\r\n") << QStringList{};
    }
    void namesAreListedInFileOrder()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QCOMPARE(mapNames(text), names);
    }

    void entryIsReadUpToTheNextName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("problems");
        const QString two =
            lf("mapname=Keep\r\nmapfile=k.jpg\r\nmap10size=50\r\nmap10offsetX=-12\r\nmap10offsetY=-7\r\n"
               "mapname=Town\r\nmap10offsetY=3\r\nmapfile=t.bmp\r\n");
        QTest::newRow("first entry stops at the next name")
            << two << lf("Keep") << true << lf("file:k.jpg size:50 x:-12 y:-7") << 0;
        QTest::newRow("keys in any order") << two << lf("Town") << true << lf("y:3 file:t.bmp") << 0;
        QTest::newRow("name not in the index") << two << lf("Cave") << false << QString() << 0;
        QTest::newRow("names match case and spaces exactly") << two << lf("keep") << false << QString() << 0;
        QTest::newRow("the first of two equal names wins")
            << lf("mapname=A\r\nmap10size=10\r\nmapname=A\r\nmap10size=20") << lf("A") << true << lf("size:10") << 0;
        QTest::newRow("a key twice takes effect twice")
            << lf("mapname=A\r\nmap10size=10\r\nmap10size=20") << lf("A") << true << lf("size:10 size:20") << 0;
        QTest::newRow("last line without a line end still applies")
            << lf("mapname=A\r\nmap10offsetX=4") << lf("A") << true << lf("x:4") << 0;
        QTest::newRow("name on the last line: an empty entry")
            << lf("mapname=B\r\nmapname=A") << lf("A") << true << QString() << 0;
        QTest::newRow("lines before the first name belong to nobody")
            << lf("mapfile=x.jpg\r\nmapname=A\r\nmap10size=8") << lf("A") << true << lf("size:8") << 0;
        QTest::newRow("a leading blank is part of the name")
            << lf("mapname  Mill\r\nmap10size=8") << lf(" Mill") << true << lf("size:8") << 0;
        QTest::newRow("file name untrimmed")
            << lf("mapname=A\r\nmapfile= a b.jpg ") << lf("A") << true << lf("file: a b.jpg ") << 0;
        QTest::newRow("separator skipped unseen")
            << lf("mapname=A\r\nmap10offsetXY5") << lf("A") << true << lf("x:5") << 0;
        QTest::newRow("other keys are case-sensitive")
            << lf("mapname=A\r\nMap10size=3\r\nMAPFILE=b.jpg") << lf("A") << true << QString() << 0;
        QTest::newRow("fractional offsets round halves to even")
            << lf("mapname=A\r\nmap10offsetX=2.5\r\nmap10offsetY=-3.5\r\nmap10offsetX=0.51") << lf("A") << true
            << lf("x:2 y:-4 x:1") << 0;
        QTest::newRow("blanks around numbers")
            << lf("mapname=A\r\nmap10size= 45.5 ") << lf("A") << true << lf("size:45.5") << 0;
        QTest::newRow("exponent") << lf("mapname=A\r\nmap10size=5e1") << lf("A") << true << lf("size:50") << 0;
        QTest::newRow("negative grid size is kept for the view to refuse")
            << lf("mapname=A\r\nmap10size=-4") << lf("A") << true << lf("size:-4") << 0;
        QTest::newRow("not a number") << lf("mapname=A\r\nmap10size=abc\r\nmap10offsetX=12abc\r\nmap10offsetY=7")
                                      << lf("A") << true << lf("y:7") << 2;
        QTest::newRow("infinity and NaN are not numbers")
            << lf("mapname=A\r\nmap10size=inf\r\nmap10offsetY=nan") << lf("A") << true << QString() << 2;
        QTest::newRow("offset beyond 32 bits") << lf("mapname=A\r\nmap10offsetX=3000000000\r\nmap10offsetY=-2147483648")
                                               << lf("A") << true << lf("y:-2147483648") << 1;
        QTest::newRow("keys without values")
            << lf("mapname=A\r\nmapfile\r\nmap10size=\r\nmap10offsetX\r\nmap10offsetY=   ") << lf("A") << true
            << QString() << 4;
        QTest::newRow("a lone LF hides the next key in the value")
            << lf("mapname=A\r\nmap10size=3\nmap10offsetX=4\r\n") << lf("A") << true << QString() << 1;
    }
    void entryIsReadUpToTheNextName()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(QString, settings);
        QFETCH(int, problems);
        const auto entry = findMapEntry(text, name);
        QCOMPARE(entry.has_value(), found);
        if (!entry)
            return;
        QCOMPARE(summary(*entry), settings);
        QCOMPARE(entry->problems.size(), problems);
        for (const QString &problem : entry->problems)
            QVERIFY2(problem.startsWith(u"line "), qPrintable(problem));
    }

    void bytesDecodeAsUtf8OrOneCharacterPerByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QByteArray("mapname=A") << lf("mapname=A");
        QTest::newRow("UTF-8") << QByteArray("mapname=Caf\xC3\xA9") << QStringLiteral("mapname=Caf\u00E9");
        QTest::newRow("single-byte") << QByteArray("mapname=Caf\xE9") << QStringLiteral("mapname=Caf\u00E9");
        QTest::newRow("byte order mark dropped") << QByteArray("\xEF\xBB\xBFmapname=A") << lf("mapname=A");
        QTest::newRow("NUL bytes kept") << QByteArray("mapname=A\0B", 11) << QString(lf("mapname=A") + QChar(0) + u'B');
    }
    void bytesDecodeAsUtf8OrOneCharacterPerByte()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeIndex(bytes), text);
    }

    void hostileIndexes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("nameCount");
        QRandomGenerator random(20240611);
        for (int i = 0; i < 4; ++i) {
            QByteArray garbage(256 * 1024, Qt::Uninitialized);
            for (char &c : garbage)
                c = static_cast<char>(random.bounded(256));
            QTest::addRow("binary garbage %d", i) << garbage << -1;
        }
        QByteArray crLfStorm;
        for (int i = 0; i < 200000; ++i)
            crLfStorm += i % 3 ? "\r" : "\n";
        QTest::newRow("line ends only") << crLfStorm << 0;

        const QByteArray megabyte(1024 * 1024, 'x');
        QTest::newRow("1 MB name") << QByteArray("mapname=" + megabyte + "\r\nmap10size=8\r\n") << 1;
        QTest::newRow("1 MB remark between entries")
            << QByteArray("mapname=A\r\n" + megabyte + "\r\nmapname=B\r\nmap10size=" + megabyte) << 2;

        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "mapname=Map " + QByteArray::number(i) + "\r\nmapfile=m" + QByteArray::number(i)
                    + ".jpg\r\nmap10size=50\r\nmap10offsetX=-1\r\nmap10offsetY=-2\r\n";
        QTest::newRow("100,000 entries") << many << 100000;
    }
    void hostileIndexes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, nameCount);
        QElapsedTimer timer;
        timer.start();
        const QString text = decodeIndex(bytes);
        const QStringList names = mapNames(text);
        if (nameCount >= 0)
            QCOMPARE(names.size(), nameCount);
        // Every listed name is found, and finding the last one reads the whole file.
        if (!names.isEmpty()) {
            QVERIFY(findMapEntry(text, names.first()));
            QVERIFY(findMapEntry(text, names.last()));
        }
        QVERIFY(!findMapEntry(text, QStringLiteral("no such map \u2603")));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMapIndex)
#include "tst_mapindex.moc"

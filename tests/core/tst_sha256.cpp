// The picture hash: whichever implementation the build chose must agree
// with the standard's vectors and with Qt's, fed whole or in pieces.
#include "core/Sha256.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest/QTest>

using vellmar::core::Sha256;

class TestSha256 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void agreesWithTheStandardAndWithQt()
    {
        QCOMPARE(Sha256::hash("abc").toHex(),
                 QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(Sha256::hash({}).toHex(),
                 QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));

        QByteArray bytes(300000, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        const QByteArray expected = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        QCOMPARE(Sha256::hash(bytes), expected);
        // Pieces that end inside, at and across the 64-byte blocks.
        Sha256 pieces;
        qsizetype at = 0;
        for (qsizetype size : {1, 63, 64, 65, 127, 4096, 70000}) {
            pieces.addData(QByteArrayView(bytes).sliced(at, size));
            at += size;
        }
        pieces.addData(QByteArrayView(bytes).sliced(at));
        QCOMPARE(pieces.result(), expected);

        // A file larger than the reading buffer, and one that is not there.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("picture"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 5; ++i)
            file.write(bytes);
        file.close();
        QCOMPARE(vellmar::core::fileSha256(path),
                 QCryptographicHash::hash(bytes.repeated(5), QCryptographicHash::Sha256));
        QVERIFY(!vellmar::core::fileSha256(dir.filePath(QStringLiteral("missing"))));
    }
};

QTEST_GUILESS_MAIN(TestSha256)
#include "tst_sha256.moc"

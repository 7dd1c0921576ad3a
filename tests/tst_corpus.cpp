// Streams written by a third-party receipt-printer client library, made afresh for each run,
// on the virtual controller: no unknown command, every code readable, the same picture alike in
// raster and column mode, and the drawer kicked.
#include "SimSupport.h"

#include "controller/Interpreter.h"

class TestCorpus : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QJsonArray manifest;

    QImage render(const QString &file, controller::Interpreter &interpreter)
    {
        interpreter.feed(readFile(dir.filePath(file)));
        interpreter.finish();
        return interpreter.paper().image();
    }

private slots:
    void initTestCase()
    {
        manifest = makeClientStreams(dir.path());
        QVERIFY(manifest.size() >= 15);
    }
    void streams_data()
    {
        QTest::addColumn<QJsonObject>("expect");
        for (const QJsonValue &entry : manifest)
            QTest::newRow(qPrintable(entry[QLatin1String("file")].toString())) << entry.toObject();
    }
    void streams()
    {
        QFETCH(QJsonObject, expect);
        controller::Interpreter interpreter;
        const QImage paper = render(expect[QLatin1String("file")].toString(), interpreter);
        QVERIFY(inkBox(paper).isValid());
        QCOMPARE(interpreter.unknownCount(), 0);
        QCOMPARE(interpreter.truncatedCount(), 0);
        QCOMPARE(interpreter.placeholderCount(), 0);
        // What the client sent as text reads back as text, and nothing else does.
        QStringList text;
        for (const controller::LogEntry &e : interpreter.log())
            if (e.name == QLatin1String("printStr"))
                text << e.args;
        for (const QJsonValue &line : expect[QLatin1String("text")].toArray())
            QVERIFY2(text.join(QLatin1Char('\n')).contains(line.toString()), qPrintable(line.toString()));
        if (!expect[QLatin1String("zbar")].toString().isEmpty())
            QCOMPARE(zbar(paper), expect[QLatin1String("zbar")].toString());
        QCOMPARE(interpreter.drawerKicks(), expect[QLatin1String("kicks")].toInt());
    }
    void picturesAlikeInBothModes()
    {
        controller::Interpreter raster, column;
        const QImage a = render(QStringLiteral("image-raster.bin"), raster);
        const QImage b = render(QStringLiteral("image-column.bin"), column);
        const QRect box = inkBox(a);
        QVERIFY(box.width() >= 60 && box.height() >= 40);
        QCOMPARE(inkBox(b), box);
        QVERIFY(a.copy(box) == b.copy(box));
    }
};

QTEST_MAIN(TestCorpus)
#include "tst_corpus.moc"

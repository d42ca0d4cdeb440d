#include "common/platform/ExtractorCommand.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Trivet::ExtractorCommand;

class tst_ExtractorCommand final : public QObject
{
    Q_OBJECT

private slots:
    void readsDocumentedTails_data();
    void readsDocumentedTails();
    void refusesEverythingElse_data();
    void refusesEverythingElse();
};

void tst_ExtractorCommand::readsDocumentedTails_data()
{
    QTest::addColumn<QString>("tail");
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("folder");

    QTest::newRow("unzip into folder") << u"\\unzip.exe -o -d Metapad mpad35.zip"_s << false << u"mpad35.zip"_s
                                       << u"Metapad"_s;
    QTest::newRow("unzip without .exe") << u"\\unzip -o -d Trout Trout.zip"_s << false << u"Trout.zip"_s << u"Trout"_s;
    QTest::newRow("archive without extension")
        << u"\\unzip.exe -o -d erunt erunt"_s << false << u"erunt.zip"_s << u"erunt"_s;
    QTest::newRow("archive's own paths") << u"\\unzip.exe -o rest2514.zip"_s << false << u"rest2514.zip"_s << QString();
    QTest::newRow("update package") << u"\\unzip.exe -o TrivetUpdate.zip"_s << false << u"TrivetUpdate.zip"_s
                                    << QString();
    QTest::newRow("7za") << u"\\7za.exe x -aoa PortFireFox.zip"_s << true << u"PortFireFox.zip"_s << QString();
    QTest::newRow("tool name in capitals")
        << u"\\UNZIP.EXE -o -d Metapad mpad35.zip"_s << false << u"mpad35.zip"_s << u"Metapad"_s;
    // 7-Zip takes the name as it is; only unzip tries ".zip".
    QTest::newRow("7za keeps the name") << u"\\7za x -AOA erunt"_s << true << u"erunt"_s << QString();
    QTest::newRow("switches in another order")
        << u"\\unzip.exe -d Metapad -o mpad35.zip"_s << false << u"mpad35.zip"_s << u"Metapad"_s;
    QTest::newRow("extra blanks") << u"\\unzip.exe  -o   Trivet.zip "_s << false << u"Trivet.zip"_s << QString();
}

void tst_ExtractorCommand::readsDocumentedTails()
{
    QFETCH(QString, tail);
    QFETCH(bool, sevenZip);
    QFETCH(QString, archive);
    QFETCH(QString, folder);

    QString error;
    const auto command = ExtractorCommand::parse(tail, &error);
    QVERIFY2(command, qPrintable(error));
    QCOMPARE(command->tool, sevenZip ? ExtractorCommand::Tool::SevenZip : ExtractorCommand::Tool::Unzip);
    QCOMPARE(command->archive, archive);
    QCOMPARE(command->targetFolder, folder);
}

void tst_ExtractorCommand::refusesEverythingElse_data()
{
    QTest::addColumn<QString>("tail");

    QTest::newRow("empty") << QString();
    QTest::newRow("no leading backslash") << u"unzip.exe -o a.zip"_s;
    QTest::newRow("other program") << u"\\tar.exe -xf a.zip"_s;
    QTest::newRow("extractor in a subfolder") << u"\\tools\\unzip.exe -o a.zip"_s;
    QTest::newRow("unzip without -o") << u"\\unzip.exe a.zip"_s;
    QTest::newRow("unzip without archive") << u"\\unzip.exe -o"_s;
    QTest::newRow("-d without folder") << u"\\unzip.exe -o -d"_s;
    QTest::newRow("unknown switch") << u"\\unzip.exe -o -q a.zip"_s;
    QTest::newRow("two archives") << u"\\unzip.exe -o a.zip b.zip"_s;
    QTest::newRow("switch after archive") << u"\\unzip.exe -o a.zip -d x"_s;
    QTest::newRow("folder leaving") << u"\\unzip.exe -o -d ../x a.zip"_s;
    QTest::newRow("absolute folder") << u"\\unzip.exe -o -d /tmp a.zip"_s;
    QTest::newRow("drive folder") << u"\\unzip.exe -o -d C:\\x a.zip"_s;
    QTest::newRow("archive leaving") << u"\\unzip.exe -o ..\\a.zip"_s;
    QTest::newRow("7za other command") << u"\\7za.exe e -aoa a.zip"_s;
    QTest::newRow("7za without -aoa") << u"\\7za.exe x a.zip"_s;
    QTest::newRow("7za without archive") << u"\\7za.exe x -aoa"_s;
    QTest::newRow("7za output switch") << u"\\7za.exe x -aoa -oTarget a.zip"_s;
}

void tst_ExtractorCommand::refusesEverythingElse()
{
    QFETCH(QString, tail);

    QString error;
    QVERIFY(!ExtractorCommand::parse(tail, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ExtractorCommand)
#include "tst_extractorcommand.moc"

#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/StartupSession.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingCatalogueView.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Status = StartupSession::Start::Status;

class tst_StartupSession final : public QObject
{
    Q_OBJECT

private slots:
    void startRemovesLeftoversOnlyWhereTheLauncherCanRun_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<Status>("status");
        QTest::newRow("ready") << QString() << Status::Ready;
        QTest::newRow("no settings") << u"Trivet.ini"_s << Status::NoSettings;
        QTest::newRow("no English") << u"Languages/English.lng"_s << Status::NoEnglish;
    }

    // Started from a folder without its files, the launcher may sit in any folder of the user's: it ends
    // there without removing what looks like a leftover of its own.
    void startRemovesLeftoversOnlyWhereTheLauncherCanRun()
    {
        QFETCH(QString, missing);
        QFETCH(Status, status);
        Test::PortableFolder folder;
        folder.copyShippedFiles();
        if (!missing.isEmpty()) {
            folder.remove(missing);
        }
        const QStringList leftovers{u".trivet-work/stage-x1/Metapad/Metapad.exe"_s, u"mpad35.zip.Ab12Cd"_s};
        for (const QString &leftover : leftovers) {
            folder.writeFile(leftover, "left");
        }
        IniFile settings(folder.appFolder().iniPath());
        LanguageTexts texts(folder.root());
        Test::RecordingCatalogueView view;
        LaunchController launcher(folder.appFolder(), settings, texts, nullptr, view);
        StartupSession session(folder.appFolder(), settings, texts,
                               std::make_shared<FixedAddressSource>(u"10.0.0.2"_s));

        const StartupSession::Start start = session.start(launcher, {});
        QCOMPARE(start.status, status);
        QCOMPARE(start.message.isEmpty(), start.ok());
        QCOMPARE(start.checkedLanguage, u"English.lng"_s);
        for (const QString &leftover : leftovers) {
            QCOMPARE(folder.exists(leftover), !start.ok());
        }
    }
};

QTEST_GUILESS_MAIN(tst_StartupSession)
#include "tst_startupsession.moc"

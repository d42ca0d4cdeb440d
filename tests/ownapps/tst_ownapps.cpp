#include "common/platform/WineProcessStarter.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/LanguageItems.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/OwnAppsTabPage.h"
#include "launcher/ownapps/FileDialog.h"
#include "launcher/ownapps/OwnAppEditor.h"
#include "tests/support/IniWrite.h"
#include "tests/support/OwnWarnings.h"
#include "tests/support/PipeWatchdog.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tests/support/WineStandIn.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

const QString section = u"MyOwnApps"_s;
const QString toolTip = u"To Start the Application, click on the Icon."_s;
const QString missingText = u"Application Name, Application path or Icon path is missing!"_s;

// A program that proves it ran, and with which arguments, by leaving a file beside itself.
const QByteArray markerScript = "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started.marker\"\n";

// Answers the first message box that shows while it lives, with button, as a user would click it; keeps what
// the box said.
class BoxAnswerer final
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
    {
        m_poll.setInterval(0);
        QObject::connect(&m_poll, &QTimer::timeout, [this, button] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box && box->isVisible() && box->button(button)) {
                    m_poll.stop();
                    title = box->windowTitle();
                    text = box->text();
                    for (QAbstractButton *b : box->buttons()) {
                        buttons.insert(box->standardButton(b), b->text());
                    }
                    box->button(button)->click();
                    return;
                }
            }
        });
        m_poll.start();
    }

    QString title;
    QString text;
    QMap<QMessageBox::StandardButton, QString> buttons; // with their labels

private:
    QTimer m_poll;
};

} // namespace

class TestOwnApps : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::shared_ptr<ProcessStarter> m_processes;

    QString ini() const { return m_folder->appFolder().iniPath(); }
    QString own(const QString &key) const { return readIni(section, key, ini()); }
    void setOwn(const QString &key, const QString &value) { QVERIFY(writeIni(section, key, value, ini())); }
    void setSlot(int n, const QString &name, const QString &path, const QString &icon)
    {
        setOwn(u"MyOwnAppName%1"_s.arg(n), name);
        setOwn(u"MyOwnAppPath%1"_s.arg(n), path);
        setOwn(u"MyOwnAppIcon%1"_s.arg(n), icon);
    }

    std::unique_ptr<MainWindow> startWindow(const QString &volumeRoot = u"/media/alice/STICK"_s,
                                            const QString &address = u"127.0.0.1"_s)
    {
        LauncherContext context{AppFolder(m_folder->root(), volumeRoot), std::make_shared<FixedAddressSource>(address),
                                m_processes};
        auto window = std::make_unique<MainWindow>(context);
        return window->startUp() ? std::move(window) : nullptr;
    }

    static OwnAppEditor *openEditor(MainWindow &window)
    {
        window.findChild<QPushButton *>(u"cmdSettings"_s)->click();
        return window.ownAppEditor();
    }

    QString english(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    template <typename T> static T *child(QWidget *parent, const QString &name) { return parent->findChild<T *>(name); }

private slots:
    void initTestCase()
    {
        Test::installOwnWarningGuard();
        MessageBox::setRecording(true);
        FileDialog::setRecording(true);
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_processes = std::make_shared<Test::RecordingProcessStarter>();
        MessageBox::takeShown();
        FileDialog::takeAsked();
        Test::ownWarnings().clear();
    }

    void cleanup()
    {
        QVERIFY2(Test::ownWarnings().isEmpty(), qPrintable(Test::ownWarnings().join(u"\n"_s)));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The shipped slots are placeholders; a file without the own sections at all is a first start too.
    void slotsShowWhatTheSettingsHold_data()
    {
        QTest::addColumn<bool>("withSections");
        QTest::newRow("placeholders") << true;
        QTest::newRow("no sections") << false;
    }

    void slotsShowWhatTheSettingsHold()
    {
        QFETCH(bool, withSections);
        if (!withSections) {
            m_folder->writeFile(u"Trivet.ini"_s, "[Language]\r\nDefault=English.lng\r\n");
        }
        auto window = startWindow();
        QVERIFY(window);
        OwnAppsTabPage *tab = window->ownAppsTab();
        for (int slot = 0; slot < OwnAppsTabPage::SlotCount; ++slot) {
            QCOMPARE(tab->caption(slot)->text(), withSections ? u"My program"_s : QString());
            // The question mark marks a slot not in use; a slot without settings stays blank but is "set".
            QCOMPARE(tab->icon(slot)->hasPicture(), withSections);
            QCOMPARE(tab->icon(slot)->toolTip(), withSections ? QString() : toolTip);
            QCOMPARE(tab->icon(slot)->accessibleName(), withSections ? u"My program"_s : u"App%1"_s.arg(slot + 1));
            QTest::keyClick(tab->icon(slot), Qt::Key_Return);
            QTest::mouseClick(tab->icon(slot), Qt::LeftButton);
        }
        QVERIFY(std::static_pointer_cast<Test::RecordingProcessStarter>(m_processes)->started.isEmpty());
        QVERIFY(window->ownAppEditor());
        // Both drives are recorded at the first start; pressing the button on that drive changes nothing.
        QCOMPARE(readIni(u"USBDriveLetter"_s, u"NewDriveLetter"_s, ini()), u"/media/alice/STICK"_s);
        QCOMPARE(readIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, ini()), u"/media/alice/STICK"_s);
        const QByteArray before = m_folder->readFile(u"Trivet.ini"_s);
        tab->adjustDriveButton()->click();
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s), before);
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }

    // Each slot shows its own file's picture, and a file written anew shows what it holds now; a file that is
    // not there leaves the slot blank.
    void slotPicturesFollowTheirFiles()
    {
        QTemporaryDir dir;
        const auto paint = [&dir](const QString &name, Qt::GlobalColor colour) {
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(colour);
            QVERIFY(image.save(dir.filePath(name), "PNG"));
        };
        paint(u"a.png"_s, Qt::red);
        paint(u"b.png"_s, Qt::blue);
        OwnAppsTabPage tab(5);
        tab.showSlotPicture(0, dir.filePath(u"a.png"_s));
        tab.showSlotPicture(1, dir.filePath(u"b.png"_s));
        tab.showSlotPicture(2, dir.filePath(u"a.png"_s));
        paint(u"a.png"_s, Qt::green);
        tab.showSlotPicture(3, dir.filePath(u"a.png"_s));
        tab.showSlotPicture(4, dir.filePath(u"missing.png"_s));
        const auto colour = [&tab](int slot) {
            const QImage image = tab.icon(slot)->picture().toImage();
            return image.pixelColor(image.width() / 2, image.height() / 2);
        };
        QCOMPARE(colour(0), QColor(Qt::red));
        QCOMPARE(colour(1), QColor(Qt::blue));
        QCOMPARE(colour(2), QColor(Qt::red));
        QCOMPARE(colour(3), QColor(Qt::green));
        QVERIFY(!tab.icon(4)->hasPicture());
    }

    // The arguments a started program wrote into its marker: a script writes them alone, the start probe of
    // Windows its folder and window first.
    QByteArray startedWith(const QString &marker)
    {
        const QByteArray written = m_folder->readFile(marker);
#ifdef Q_OS_WIN
        return written.split('\n').mid(2).join('\n');
#else
        return written;
#endif
    }

    void slotsStartRealPrograms()
    {
        m_processes = std::make_shared<DetachedProcessStarter>();
#ifdef Q_OS_WIN
        // Windows starts programs, not scripts: the start probe stands in for each.
        const QString first = u"Tools/first.exe"_s;
        const QString second = u"My Tools/second tool.exe"_s;
        const QString third = u"Tools/third.exe"_s;
        for (const QString &program : {first, second, third}) {
            QVERIFY(QDir().mkpath(QFileInfo(m_folder->path(program)).absolutePath()));
            QVERIFY(QFile::copy(QStringLiteral(TRIVET_START_PROBE), m_folder->path(program)));
        }
#else
        const QString first = u"Tools/first"_s;
        const QString second = u"My Tools/second tool"_s;
        const QString third = u"Tools/third"_s;
        for (const QString &program : {first, second, third}) {
            m_folder->writeFile(program, markerScript);
            QFile::setPermissions(m_folder->path(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
#endif
        setSlot(1, u"First"_s, m_folder->path(first) + u" -x"_s, m_folder->path(u"Icons/Qmark.gif"_s));
        setSlot(2, u"Second"_s, m_folder->path(second), u"Your Icon-path here"_s);
        setSlot(3, u"Missing"_s, m_folder->path(u"Tools/gone"_s), u"Your Icon-path here"_s);
        auto window = startWindow();
        QVERIFY(window);
        OwnAppsTabPage *tab = window->ownAppsTab();
        QCOMPARE(tab->icon(0)->toolTip(), toolTip);
        QVERIFY(tab->icon(0)->hasPicture());
        QVERIFY(!tab->icon(1)->hasPicture()); // a set slot with the icon placeholder stays blank

        QTest::keyClick(tab->icon(0), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_folder->exists(u"Tools/started.marker"_s), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(startedWith(u"Tools/started.marker"_s), QByteArray("-x\n"), 5000);
        QTest::mouseClick(tab->icon(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_folder->exists(u"My Tools/started.marker"_s), 5000);
        MessageBox::setNextAnswer(QMessageBox::Cancel);
        QTest::mouseClick(tab->icon(2), Qt::LeftButton); // said, and the editor is left closed
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(!window->ownAppEditor());
        QVERIFY(window->isEnabled());

        // A path changed by hand counts at the next click; the tab still shows what it showed.
        m_folder->remove(u"Tools/started.marker"_s);
        setSlot(1, u"Third"_s, m_folder->path(third) + u" \"a b\""_s, u"Your Icon-path here"_s);
        QTest::mouseClick(tab->icon(0), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(startedWith(u"Tools/started.marker"_s), QByteArray("a b\n"), 5000);
        QCOMPARE(tab->caption(0)->text(), u"First"_s);

#ifdef Q_OS_LINUX
        // A native program without a run bit, as every file on a FAT stick shows, starts all the same.
        QVERIFY(QFile::copy(u"/usr/bin/touch"_s, m_folder->path(u"Tools/toucher"_s)));
        QFile::setPermissions(m_folder->path(u"Tools/toucher"_s), QFile::ReadOwner | QFile::WriteOwner);
        setSlot(1, u"Toucher"_s, m_folder->path(u"Tools/toucher"_s) + u" "_s + m_folder->path(u"Tools/touched"_s),
                u"Your Icon-path here"_s);
        QTest::mouseClick(tab->icon(0), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_folder->exists(u"Tools/touched"_s), 5000);
#endif
    }

    // A Windows program in a slot starts through Wine with its argument, in the folder a native one gets;
    // without Wine, one message says what to install and nothing starts.
    void slotWithAWindowsProgram_data()
    {
        QTest::addColumn<bool>("withWine");
        QTest::newRow("Wine") << true;
        QTest::newRow("no Wine") << false;
    }

    void slotWithAWindowsProgram()
    {
#if defined(Q_OS_WIN)
        QSKIP("Wine is Linux's; Windows starts its programs itself");
#endif
        QFETCH(bool, withWine);
        const Test::WineStandIn wine(withWine);
        auto recorder = std::make_shared<Test::RecordingProcessStarter>();
        m_processes = std::make_shared<WineProcessStarter>(
            withWine ? std::shared_ptr<ProcessStarter>(std::make_shared<DetachedProcessStarter>()) : recorder,
            WineLocator());
        m_folder->writeFile(u"My Tools/tool.exe"_s, Test::windowsProgram);
        const QString program = m_folder->path(u"My Tools/tool.exe"_s);
        setSlot(1, u"Tool"_s, program + u" -x"_s, u"Your Icon-path here"_s);
        auto window = startWindow();
        QVERIFY(window);
        QTest::mouseClick(window->ownAppsTab()->icon(0), Qt::LeftButton);
        if (withWine) {
            QTRY_COMPARE_WITH_TIMEOUT(wine.record(), (QStringList{QDir::currentPath(), program, u"-x"_s}), 5000);
        } else {
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, translation(u"errMsgWine"_s, m_folder->path(u"Languages/English.lng"_s)));
            QVERIFY(recorder->started.isEmpty());
        }
    }

    // What a click on a slot that starts nothing leads to: an unused slot opens the editor on it; a program
    // that did not start is named with the reason, and OK opens the editor on the slot. "<here>" stands for
    // the portable folder.
    void slotClickOutcomes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason"); // the key of the reason given; empty: no box
        QTest::addColumn<QString>("named");  // the path the box names
        QTest::addColumn<bool>("answerOk");

        QTest::newRow("unused") << u"Your Application Path here"_s << QString() << QString() << true;
        QTest::newRow("no path") << u"  "_s << QString() << QString() << true;
        QTest::newRow("missing") << u"<here>/Tools/gone -x"_s << u"errOwnAppMissing"_s << u"<here>/Tools/gone"_s
                                 << true;
        QTest::newRow("missing, Cancel") << u"<here>/Tools/gone"_s << u"errOwnAppMissing"_s << u"<here>/Tools/gone"_s
                                         << false;
        QTest::newRow("missing, relative") << u"Tools/gone"_s << u"errOwnAppMissing"_s << u"Tools/gone"_s << true;
        QTest::newRow("folder") << u"<here>/Tools"_s << u"errOwnAppFolder"_s << u"<here>/Tools"_s << true;
        // The loader starts a native program without its run bit, but not a script or any other file.
        QTest::newRow("script without run bit")
            << u"<here>/Tools/script"_s << u"errOwnAppNoStart"_s << u"<here>/Tools/script"_s << true;
        QTest::newRow("text without run bit")
            << u"<here>/Tools/notes.txt"_s << u"errOwnAppNoStart"_s << u"<here>/Tools/notes.txt"_s << true;
    }

    void slotClickOutcomes()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QFETCH(QString, named);
        QFETCH(bool, answerOk);
        const QString here = QDir::cleanPath(m_folder->root());
        m_processes = makeProgramStarter(WineLocator());
        m_folder->writeFile(u"Tools/script"_s, markerScript);
        m_folder->writeFile(u"Tools/notes.txt"_s, "just some notes\n");
        setSlot(4, u"Slot"_s, path.replace(u"<here>"_s, here), u"Your Icon-path here"_s);
        auto window = startWindow();
        QVERIFY(window);

        MessageBox::setNextAnswer(answerOk ? QMessageBox::Ok : QMessageBox::Cancel);
        QTest::mouseClick(window->ownAppsTab()->icon(3), Qt::LeftButton);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        if (reason.isEmpty()) {
            QVERIFY(shown.isEmpty());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].icon, QMessageBox::Warning);
            const QString namedPath = QDir::toNativeSeparators(named.replace(u"<here>"_s, here));
            QCOMPARE(shown[0].text, english(reason).arg(namedPath) + u"\n\n"_s + english(u"MsgOwnAppEdit"_s));
        }
        OwnAppEditor *editor = window->ownAppEditor();
        QCOMPARE(bool(editor), answerOk);
        if (editor) {
            QCOMPARE(child<QComboBox>(editor, u"cmbAppNumber"_s)->currentIndex(), 3);
            // An unused slot's path shows as the field's hint.
            auto *pathField = child<QLineEdit>(editor, u"txtAppPath"_s);
            QCOMPARE(pathField->text().isEmpty() ? pathField->placeholderText() : pathField->text(), path);
        }
        QVERIFY(!m_folder->exists(u"Tools/started.marker"_s));
    }

    // Captions stay bold from one icon to the next until the pointer crosses the tab's surface.
    void hoverEmphasizesTheCaption()
    {
        auto window = startWindow();
        QVERIFY(window);
        OwnAppsTabPage *tab = window->ownAppsTab();
        const auto moveOver = [](QWidget *widget) {
            QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &move);
        };
        moveOver(tab->icon(3));
        moveOver(tab->icon(4));
        QVERIFY(tab->caption(3)->font().bold());
        QVERIFY(tab->caption(4)->font().bold());
        QVERIFY(!tab->caption(5)->font().bold());
        moveOver(tab);
        QVERIFY(!tab->caption(3)->font().bold());
    }

    void editorLoadsValidatesAndSaves()
    {
        setSlot(3, u"Editor"_s, u"/usr/bin/env -i"_s, m_folder->path(u"Icons/Qmark.gif"_s));
        auto window = startWindow();
        QVERIFY(window);
        OwnAppEditor *editor = openEditor(*window);
        QVERIFY(editor);
        QCOMPARE(editor->objectName(), u"frmAddApp"_s);
        QCOMPARE(editor->windowTitle(), u"Quilory / My Own apps settings..."_s);
        QVERIFY(editor->isVisible());
        QVERIFY(!editor->isModal());
        // A second press brings the same window forward, as the user left it.
        child<QLineEdit>(editor, u"txtAppName"_s)->setText(u"typed"_s);
        QCOMPARE(openEditor(*window), editor);
        QCOMPARE(child<QLineEdit>(editor, u"txtAppName"_s)->text(), u"typed"_s);

        const QString english = m_folder->path(u"Languages/English.lng"_s);
        QCOMPARE(child<QPushButton>(editor, u"cmdBrowseIcon"_s)->text(), translation(u"cmdBrowse"_s, english));
        QCOMPARE(child<QLabel>(editor, u"lbAppExe"_s)->text(), translation(u"lbAppExe"_s, english));

        auto *number = child<QComboBox>(editor, u"cmbAppNumber"_s);
        auto *name = child<QLineEdit>(editor, u"txtAppName"_s);
        auto *path = child<QLineEdit>(editor, u"txtAppPath"_s);
        auto *icon = child<QLineEdit>(editor, u"txtIconName"_s);
        auto *title = child<QLabel>(editor, u"lbAppTitel"_s);
        QCOMPARE(number->count(), 10);
        QCOMPARE(number->itemText(9), u"App10"_s);
        // The typed name was not saved: the user is asked, and drops it.
        MessageBox::setNextAnswer(QMessageBox::Discard);
        number->setCurrentIndex(2);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(name->text(), u"Editor"_s);
        QCOMPARE(path->text(), u"/usr/bin/env -i"_s);
        QCOMPARE(title->text(), u"Editor"_s);
        QVERIFY(!child<QLabel>(editor, u"ImageShowIcon"_s)->pixmap().isNull());

        // An empty icon field refuses the save and writes nothing (an empty name or path is the unused slot's).
        const QByteArray before = m_folder->readFile(u"Trivet.ini"_s);
        for (QLineEdit *field : {icon}) {
            const QString kept = field->text();
            field->clear();
            child<QPushButton>(editor, u"cmdSave"_s)->click();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, missingText);
            field->setText(kept);
        }
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s), before);

        // Browsing: a cancelled dialog keeps the field, a chosen file fills it.
        child<QPushButton>(editor, u"cmdBrowsePath"_s)->click();
        QCOMPARE(path->text(), u"/usr/bin/env -i"_s);
        FileDialog::setNextFileName(m_folder->path(u"Tools/tool"_s));
        child<QPushButton>(editor, u"cmdBrowsePath"_s)->click();
        QCOMPARE(path->text(), m_folder->path(u"Tools/tool"_s));
        const auto asked = FileDialog::takeAsked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.first().first(), u"Executable (*.exe)"_s);

        name->setText(u"Renamed"_s);
        child<QPushButton>(editor, u"cmdSave"_s)->click();
        QCOMPARE(own(u"MyOwnAppName3"_s), u"Renamed"_s);
        QCOMPARE(own(u"MyOwnAppPath3"_s), m_folder->path(u"Tools/tool"_s));
        QCOMPARE(window->ownAppsTab()->caption(2)->text(), u"Renamed"_s);
        QVERIFY(window->ownAppsTab()->icon(2)->hasPicture());
        QCOMPARE(title->text(), u"Renamed"_s);

        child<QPushButton>(editor, u"cmdClose"_s)->click();
        QTRY_VERIFY(!window->ownAppEditor());
        QCOMPARE(openEditor(*window)->findChild<QComboBox *>(u"cmbAppNumber"_s)->currentText(), u"App1"_s);
    }

    void editorExtractsAndSavesIcons()
    {
        m_folder->writeFile(u"Tools/tool"_s, markerScript);
        auto window = startWindow();
        OwnAppEditor *editor = openEditor(*window);
        auto *path = child<QLineEdit>(editor, u"txtAppPath"_s);
        auto *icon = child<QLineEdit>(editor, u"txtIconName"_s);
        auto *saveIcon = child<QPushButton>(editor, u"cmdSaveIcon"_s);

        // Nothing extracted yet: the user is told to extract first, and no dialog opens.
        saveIcon->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(FileDialog::takeAsked().isEmpty());

        for (const QString &missing : {QString(), m_folder->path(u"Tools/gone"_s)}) {
            path->setText(missing);
            child<QPushButton>(editor, u"cmdExtractIcon"_s)->click();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, u"Path not found!"_s);
        }
        QVERIFY(editor->extractedIcons().isEmpty());

        // A command line's program counts, arguments and all; a file without an icon of its own gets its type's.
        path->setText(m_folder->path(u"Tools/tool"_s) + u" -x"_s);
        child<QPushButton>(editor, u"cmdExtractIcon"_s)->click();
        QCOMPARE(editor->extractedIcons().size(), 1);
        QCOMPARE(editor->extractedIcons().first().size(), QSize(32, 32));
        QVERIFY(!child<QLabel>(editor, u"ImageExtractIcon"_s)->pixmap().isNull());

        const struct
        {
            QString chosen;
            QString written;
        } names[] = {{u"Icons/tool"_s, u"Icons/tool.png"_s}, {u"Icons/other.BMP"_s, u"Icons/other.BMP"_s}};
        for (const auto &n : names) {
            FileDialog::setNextFileName(m_folder->path(n.chosen));
            saveIcon->click();
            QCOMPARE(FileDialog::takeAsked(), (QList<QStringList>{{u"Png (*.png)"_s, u"Bmp (*.bmp)"_s}}));
            QCOMPARE(icon->text(), QDir::toNativeSeparators(n.written));
            QImageReader reader(m_folder->path(n.written));
            QCOMPARE(reader.format(), n.written.endsWith(u".png"_s) ? QByteArray("png") : QByteArray("bmp"));
            QCOMPARE(reader.read().size(), QSize(32, 32));
        }
        QVERIFY(!m_folder->exists(u"Icons/other.BMP.png"_s));
        // A cancelled dialog writes nothing and keeps the field.
        saveIcon->click();
        QCOMPARE(icon->text(), QDir::toNativeSeparators(u"Icons/other.BMP"_s));
        FileDialog::takeAsked();
    }

    // Edits that were not saved, then a way away from the slot: Save writes them, Discard drops them, Cancel
    // stays on the slot with them. Without edits nobody is asked.
    void unsavedEditsAreNeverDroppedSilently_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer");

        const QList<std::pair<const char *, QMessageBox::StandardButton>> answers{
            {"Save", QMessageBox::Save}, {"Discard", QMessageBox::Discard}, {"Cancel", QMessageBox::Cancel}};
        for (const char *action : {"switch slot", "close box", "Escape", "Close", "editor asked for on slot 4",
                                   "leave the launcher", "hand over to the Updater"}) {
            for (const auto &[name, button] : answers) {
                QTest::addRow("%s, %s", action, name) << QString::fromLatin1(action) << true << int(button);
            }
        }
        QTest::newRow("switch slot, no edits") << u"switch slot"_s << false << int(QMessageBox::Cancel);
        QTest::newRow("Close, no edits") << u"Close"_s << false << int(QMessageBox::Cancel);
    }

    void unsavedEditsAreNeverDroppedSilently()
    {
        QFETCH(QString, action);
        QFETCH(bool, edited);
        QFETCH(int, answer);
        MessageBox::setRecording(false);
        const auto recordAgain = qScopeGuard([] { MessageBox::setRecording(true); });
        setSlot(2, u"Before"_s, u"/usr/bin/env"_s, m_folder->path(u"Icons/Qmark.gif"_s));
        auto window = startWindow();
        QVERIFY(window);
        OwnAppEditor *editor = openEditor(*window);
        auto *number = child<QComboBox>(editor, u"cmbAppNumber"_s);
        auto *name = child<QLineEdit>(editor, u"txtAppName"_s);
        number->setCurrentIndex(1);
        if (edited) {
            name->setText(u"After"_s);
        }

        QSignalSpy left(window.get(), &MainWindow::shutDownFinished);
        BoxAnswerer user{QMessageBox::StandardButton(answer)};
        if (action == u"switch slot"_s) {
            number->setCurrentIndex(3);
        } else if (action == u"close box"_s) {
            editor->close();
        } else if (action == u"Escape"_s) {
            QTest::keyClick(editor, Qt::Key_Escape);
        } else if (action == u"Close"_s) {
            child<QPushButton>(editor, u"cmdClose"_s)->click();
        } else if (action == u"leave the launcher"_s) {
            window->close();
        } else if (action == u"hand over to the Updater"_s) {
#ifdef Q_OS_WIN
            // A program Windows can start: anything else would end in a message nobody here answers.
            QFile::remove(m_folder->path(u"Updater.exe"_s));
            QVERIFY(QFile::copy(QStringLiteral(TRIVET_START_PROBE), m_folder->path(u"Updater.exe"_s)));
#else
            m_folder->writeFile(u"Updater"_s, "#!/bin/sh\n");
#endif
            window->findChild<QAction *>(u"mnuDownloadUpdate"_s)->trigger();
        } else {
            QTest::mouseClick(window->ownAppsTab()->icon(3), Qt::LeftButton);
        }

        if (!edited) {
            QVERIFY(user.text.isEmpty());
        } else {
            QCOMPARE(user.title, u"TrivetDesk"_s);
            QCOMPARE(user.text, english(u"MsgOwnAppUnsaved"_s).arg(u"App2"_s));
            const QMap<QMessageBox::StandardButton, QString> buttons{
                {QMessageBox::Save, english(u"cmdSaveEdits"_s)},
                {QMessageBox::Discard, english(u"cmdDiscardEdits"_s)},
                {QMessageBox::Cancel, english(u"cmdCancelEdits"_s)}};
            QCOMPARE(user.buttons, buttons);
        }
        const bool saved = edited && answer == QMessageBox::Save;
        QCOMPARE(own(u"MyOwnAppName2"_s), saved ? u"After"_s : u"Before"_s);
        QCOMPARE(window->ownAppsTab()->caption(1)->text(), saved ? u"After"_s : u"Before"_s);
        const bool stays = edited && answer == QMessageBox::Cancel;
        const bool leaves = action == u"leave the launcher"_s || action == u"hand over to the Updater"_s;
        QCOMPARE(left.size(), leaves && !stays ? 1 : 0);
        const bool closes = action == u"close box"_s || action == u"Escape"_s || action == u"Close"_s || leaves;
        if (closes && !stays) {
            QTRY_VERIFY(!window->ownAppEditor());
            return;
        }
        QVERIFY(editor->isVisible());
        QCOMPARE(number->currentIndex(), stays ? 1 : 3);
        QCOMPARE(name->text(), stays ? u"After"_s : QString());
        QCOMPARE(editor->hasUnsavedEdits(), stays);
    }

    // Save Icon starts in the portable folder and writes PNG or BMP by the name's suffix; a file on the stick
    // is kept relative to the folder, so it still shows from another drive, one elsewhere absolute.
    void savedIconIsARealPictureKeptRelativeOnTheStick_data()
    {
        QTest::addColumn<QString>("chosen"); // "<here>": the portable folder, "<away>": a folder elsewhere
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("stored");

        QTest::newRow("PNG on the stick")
            << u"<here>/Icons/tool"_s << u"<here>/Icons/tool.png"_s << QByteArray("png") << u"Icons/tool.png"_s;
        QTest::newRow("BMP on the stick") << u"<here>/My Tools/tool.bmp"_s << u"<here>/My Tools/tool.bmp"_s
                                          << QByteArray("bmp") << u"My Tools/tool.bmp"_s;
        QTest::newRow("PNG elsewhere") << u"<away>/tool.PNG"_s << u"<away>/tool.PNG"_s << QByteArray("png")
                                       << u"<away>/tool.PNG"_s;
        QTest::newRow("BMP elsewhere") << u"<away>/tool.bmp"_s << u"<away>/tool.bmp"_s << QByteArray("bmp")
                                       << u"<away>/tool.bmp"_s;
        QTest::newRow("beside the folder, not in it")
            << u"<here>2/tool.bmp"_s << u"<here>2/tool.bmp"_s << QByteArray("bmp") << u"<here>2/tool.bmp"_s;
    }

    void savedIconIsARealPictureKeptRelativeOnTheStick()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QFETCH(QByteArray, format);
        QFETCH(QString, stored);
        QTemporaryDir away;
        const QString here = QDir::cleanPath(m_folder->root());
        const auto place = [&](QString text) {
            return QDir::toNativeSeparators(text.replace(u"<here>"_s, here).replace(u"<away>"_s, away.path()));
        };
        const auto cleanBeside = qScopeGuard([&] { QDir(here + u"2"_s).removeRecursively(); });
        QVERIFY(QDir().mkpath(here + u"/My Tools"_s) && QDir().mkpath(here + u"2"_s));
        setSlot(1, u"Tool"_s, u"/usr/bin/env"_s, u"Your Icon-path here"_s);
        auto window = startWindow();
        QVERIFY(window);
        QVERIFY(!window->ownAppsTab()->icon(0)->hasPicture());
        OwnAppEditor *editor = openEditor(*window);
        child<QPushButton>(editor, u"cmdExtractIcon"_s)->click();
        QCOMPARE(editor->extractedIcons().size(), 1);

        FileDialog::setNextFileName(place(chosen));
        child<QPushButton>(editor, u"cmdSaveIcon"_s)->click();
        QCOMPARE(FileDialog::takeAsked(), (QList<QStringList>{{u"Png (*.png)"_s, u"Bmp (*.bmp)"_s}}));
        QCOMPARE(FileDialog::lastFolder(), m_folder->root());
        QImageReader reader(place(written));
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), QSize(32, 32));
        QCOMPARE(child<QLineEdit>(editor, u"txtIconName"_s)->text(), place(stored));

        child<QPushButton>(editor, u"cmdSave"_s)->click();
        QCOMPARE(own(u"MyOwnAppIcon1"_s), place(stored));
        QVERIFY(window->ownAppsTab()->icon(0)->hasPicture());
        QVERIFY(!child<QLabel>(editor, u"ImageShowIcon"_s)->pixmap().isNull());
    }

    // An unused slot's name and path show as greyed hints, not as text; empty fields are saved as the texts
    // every reader of the settings takes for an unused slot.
    void unusedSlotTextsAreHintsAndSavedBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("both empty") << QString() << QString();
        QTest::newRow("name empty") << QString() << u"/usr/bin/env"_s;
        QTest::newRow("path empty") << u"Tool"_s << QString();
    }

    void unusedSlotTextsAreHintsAndSavedBack()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        setSlot(6, u"Filled"_s, u"/usr/bin/env -x"_s, u"Your Icon-path here"_s);
        auto window = startWindow();
        QVERIFY(window);
        OwnAppEditor *editor = openEditor(*window);
        auto *number = child<QComboBox>(editor, u"cmbAppNumber"_s);
        auto *nameField = child<QLineEdit>(editor, u"txtAppName"_s);
        auto *pathField = child<QLineEdit>(editor, u"txtAppPath"_s);
        // The shipped slot 5 is unused: hints only.
        number->setCurrentIndex(4);
        QCOMPARE(nameField->text(), QString());
        QCOMPARE(pathField->text(), QString());
        QCOMPARE(nameField->placeholderText(), u"My program"_s);
        QCOMPARE(pathField->placeholderText(), u"Your Application Path here"_s);

        number->setCurrentIndex(5);
        nameField->setText(name);
        pathField->setText(path);
        child<QPushButton>(editor, u"cmdSave"_s)->click();
        QCOMPARE(own(u"MyOwnAppName6"_s), name.isEmpty() ? u"My program"_s : name);
        QCOMPARE(own(u"MyOwnAppPath6"_s), path.isEmpty() ? u"Your Application Path here"_s : path);
        if (name.isEmpty() && path.isEmpty()) {
            // Back to the very lines the slot was shipped with.
            QVERIFY(m_folder->readFile(u"Trivet.ini"_s)
                        .contains("MyOwnAppName6=My program\r\nMyOwnAppPath6=Your Application Path here\r\n"
                                  "MyOwnAppIcon6=Your Icon-path here\r\n"));
        }
        // Saved, so turning to another slot and back asks nothing and shows the hints again.
        number->setCurrentIndex(0);
        number->setCurrentIndex(5);
        QCOMPARE(nameField->text(), name);
        QCOMPARE(pathField->text(), path);
        QVERIFY(!editor->hasUnsavedEdits());
    }

    // The editor is a dialog of the main window, opened centred over it and wholly on its screen, wherever
    // the main window stands.
    void editorOpensOverTheMainWindow_data()
    {
        QTest::addColumn<QPoint>("offset"); // of the main window from the centre of the screen's free area
        QTest::newRow("centred") << QPoint(0, 0);
        QTest::newRow("past the bottom right") << QPoint(2000, 2000);
        QTest::newRow("past the top left") << QPoint(-2000, -2000);
    }

    void editorOpensOverTheMainWindow()
    {
        QFETCH(QPoint, offset);
        auto window = startWindow();
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect free = window->screen()->availableGeometry();
        QRect frame = window->frameGeometry();
        frame.moveCenter(free.center() + offset);
        window->move(frame.topLeft());

        OwnAppEditor *editor = openEditor(*window);
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        QCOMPARE(editor->parentWidget(), window.get());
        QVERIFY(editor->isWindow());
        QVERIFY(!editor->isModal());
        const QRect placed = editor->frameGeometry();
        QVERIFY2(free.contains(placed),
                 qPrintable(u"%1,%2 %3x%4"_s.arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
        if (offset.isNull()) {
            QVERIFY((placed.center() - window->frameGeometry().center()).manhattanLength() <= 1);
        } else {
            // Pushed just far enough back onto the screen.
            QCOMPARE(offset.x() > 0 ? placed.right() : placed.left(), offset.x() > 0 ? free.right() : free.left());
            QCOMPARE(offset.y() > 0 ? placed.bottom() : placed.top(), offset.y() > 0 ? free.bottom() : free.top());
        }
    }

    // The old root, the drive the launcher now runs from, and per slot the path and icon before and after
    // one press of the button. "<here>" stands for the portable folder, where real files lie.
    void adjustmentFollowsTheStick_data()
    {
        QTest::addColumn<QString>("oldRoot");
        QTest::addColumn<QString>("newRoot");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");

        const QString placeholderPath = u"Your Application Path here"_s;
        const QString placeholderIcon = u"Your Icon-path here"_s;
        QTest::newRow("mount point to mount point") << u"/media/alice/STICK"_s << u"/media/bob/STICK"_s
                                                    << QStringList{u"/media/alice/STICK/Apps/tool -x"_s,
                                                                   u"/media/alice/STICK/Apps/tool.png"_s,
                                                                   u"/usr/bin/env"_s,
                                                                   u"/media/alice/STICK2/x.png"_s,
                                                                   u"Apps/tool"_s,
                                                                   QString(),
                                                                   placeholderPath,
                                                                   placeholderIcon,
                                                                   u"/media/alice/STICK"_s,
                                                                   u"/media/alice/STICKY"_s}
                                                    << QStringList{u"/media/bob/STICK/Apps/tool -x"_s,
                                                                   u"/media/bob/STICK/Apps/tool.png"_s,
                                                                   u"/usr/bin/env"_s,
                                                                   u"/media/alice/STICK2/x.png"_s,
                                                                   u"Apps/tool"_s,
                                                                   QString(),
                                                                   placeholderPath,
                                                                   placeholderIcon,
                                                                   u"/media/bob/STICK"_s,
                                                                   u"/media/alice/STICKY"_s};
        QTest::newRow("first started from the system disk")
            << u"/"_s << u"/media/bob/STICK"_s << QStringList{u"/media/alice/STICK/Apps/tool"_s, u"/usr/x.png"_s}
            << QStringList{u"/media/alice/STICK/Apps/tool"_s, u"/usr/x.png"_s};
        QTest::newRow("drive letter to mount point")
            << u"E:"_s << u"<here>"_s
            << QStringList{u"e:\\My Tools\\tool -o a\\b /S"_s, u"E:\\Icons\\Qmark.gif"_s,
                           u"\"E:\\Apps\\Tool\\gone.exe\" /S"_s, u"C:\\Windows\\notepad.ico"_s}
            << QStringList{u"<here>/My Tools/tool -o a\\b /S"_s, u"<here>/Icons/Qmark.gif"_s,
                           u"\"<here>/Apps/Tool/gone.exe\" /S"_s, u"C:\\Windows\\notepad.ico"_s};
        QTest::newRow("mount point to drive letter")
            << u"/media/alice/STICK"_s << u"F:"_s
            << QStringList{u"/media/alice/STICK/Apps/tool -o /tmp"_s, u"/media/alice/STICK/Apps/tool.ico"_s}
            << QStringList{u"F:\\Apps\\tool -o \\tmp"_s, u"F:\\Apps\\tool.ico"_s};
        QTest::newRow("one path") << u"E:"_s << u"F:"_s << QStringList{u"E:\\x.exe"_s, placeholderIcon}
                                  << QStringList{u"F:\\x.exe"_s, placeholderIcon};
        QTest::newRow("drive letter to drive letter")
            << u"E:"_s << u"F:"_s
            << QStringList{u"E:\\Apps\\Tool\\tool.exe"_s, u"E:"_s, u"C:\\Windows\\x.exe"_s, u"EF:\\x"_s}
            << QStringList{u"F:\\Apps\\Tool\\tool.exe"_s, u"F:"_s, u"C:\\Windows\\x.exe"_s, u"EF:\\x"_s};
    }

    void adjustmentFollowsTheStick()
    {
        QFETCH(QString, oldRoot);
        QFETCH(QString, newRoot);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        const QString here = QDir::cleanPath(m_folder->root());
        newRoot.replace(u"<here>"_s, here);
        after.replaceInStrings(u"<here>"_s, here);
        m_folder->writeFile(u"My Tools/tool"_s, markerScript);
        QVERIFY(writeIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, oldRoot, ini()));
        for (int i = 0; i < before.size(); i += 2) {
            setSlot(i / 2 + 1, u"Slot"_s, before.at(i), before.at(i + 1));
        }
        auto window = startWindow(newRoot);
        QVERIFY(window);
        QCOMPARE(readIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, ini()), oldRoot);
        // Renamed by hand: shows once the tab is refreshed.
        setOwn(u"MyOwnAppName1"_s, u"Renamed"_s);

        window->ownAppsTab()->adjustDriveButton()->click();
        // The box says how many paths moved, between which drives.
        int moved = 0;
        for (int i = 0; i < before.size(); ++i) {
            moved += before.at(i) != after.at(i) ? 1 : 0;
        }
        const QString report = moved == 0   ? english(u"MsgDriveNothing"_s)
                               : moved == 1 ? english(u"MsgDriveMovedOne"_s).arg(oldRoot, newRoot)
                                            : english(u"MsgDriveMoved"_s).arg(QString::number(moved), oldRoot, newRoot);
        QStringList shown;
        for (const MessageBox::Shown &box : MessageBox::takeShown()) {
            shown.append(box.text);
        }
        QCOMPARE(shown, QStringList{report});
        for (int i = 0; i < after.size(); i += 2) {
            QCOMPARE(own(u"MyOwnAppPath%1"_s.arg(i / 2 + 1)), after.at(i));
            QCOMPARE(own(u"MyOwnAppIcon%1"_s.arg(i / 2 + 1)), after.at(i + 1));
        }
        QCOMPARE(readIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, ini()), newRoot);
        QCOMPARE(window->ownAppsTab()->caption(0)->text(), u"Renamed"_s);

        // On the same drive again, nothing changes.
        const QByteArray adjusted = m_folder->readFile(u"Trivet.ini"_s);
        window->ownAppsTab()->adjustDriveButton()->click();
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s), adjusted);
        const QList<MessageBox::Shown> again = MessageBox::takeShown();
        QCOMPARE(again.size(), 1);
        QCOMPARE(again[0].text, u"Nothing to adjust: every path is already on this drive"_s);
    }

    void savedSlotMovesWithTheStick()
    {
        QVERIFY(writeIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, u"/media/alice/STICK"_s, ini()));
        setSlot(2, u"Old"_s, u"/media/alice/STICK/old"_s, u"/media/alice/STICK/old.png"_s);
        auto window = startWindow(u"/media/bob/STICK"_s);
        OwnAppEditor *editor = openEditor(*window);
        child<QComboBox>(editor, u"cmbAppNumber"_s)->setCurrentIndex(1);
        child<QLineEdit>(editor, u"txtAppPath"_s)->setText(u"/media/alice/STICK/new -x"_s);
        child<QPushButton>(editor, u"cmdSave"_s)->click();
        window->ownAppsTab()->adjustDriveButton()->click();
        QCOMPARE(own(u"MyOwnAppPath2"_s), u"/media/bob/STICK/new -x"_s);
        QCOMPARE(own(u"MyOwnAppIcon2"_s), u"/media/bob/STICK/old.png"_s);
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }

    // A named pipe where a slot's program or icon, the version file or another file of the folder belongs:
    // every action that looks at it comes back at once and treats it as no file. "<here>" stands for the
    // portable folder; "E:" is the drive the launcher last ran from.
    void namedPipesNeverHoldUpTheWindow_data()
    {
        QTest::addColumn<QStringList>("pipes");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message"); // what the user is told; empty: nothing

        const QString noIcon = u"Your Icon-path here"_s;
        QTest::newRow("program, click") << QStringList{u"Tools/tool"_s} << u"<here>/Tools/tool -x"_s << noIcon
                                        << u"click"_s
                                        << u"The program of this slot cannot be started: <here>/Tools/tool has no "
                                           u"run bit or is not a program this system can run.\n\nOpen the settings "
                                           u"of this slot now?"_s;
        QTest::newRow("icon, start") << QStringList{u"Icons/tool.png"_s} << u"/usr/bin/env"_s
                                     << u"<here>/Icons/tool.png"_s << u"start"_s << QString();
        QTest::newRow("program and icon, Extract Icon")
            << QStringList{u"Tools/tool"_s, u"Icons/tool.png"_s} << u"<here>/Tools/tool"_s << u"<here>/Icons/tool.png"_s
            << u"extract"_s << u"Path not found!"_s;
        QTest::newRow("program and icon, Adjust Drive Letter")
            << QStringList{u"My Tools/tool"_s, u"Icons/tool.png"_s} << u"E:\\My Tools\\tool -x"_s
            << u"E:\\Icons\\tool.png"_s << u"adjust"_s << u"2 paths moved from E: to <here>"_s;
        QTest::newRow("ver.dat, start") << QStringList{u"ver.dat"_s} << QString() << QString() << u"start"_s
                                        << QString();
        QTest::newRow("English.lng, start")
            << QStringList{u"Languages/English.lng"_s} << QString() << QString() << u"start"_s
            << u"Default Language file \"English.lng\" not found! please download \"Quillory\" again!"_s;
    }

    void namedPipesNeverHoldUpTheWindow()
    {
#ifndef Q_OS_UNIX
        QSKIP("Named pipes in a folder are a feature of POSIX systems.");
#else
        QFETCH(QStringList, pipes);
        QFETCH(QString, program);
        QFETCH(QString, icon);
        QFETCH(QString, action);
        QFETCH(QString, message);
        const QString here = QDir::cleanPath(m_folder->root());
        message.replace(u"<here>"_s, QDir::toNativeSeparators(here));
        // The chain of starters the launcher itself uses, so reading the program's head is part of the click.
        m_processes = makeProgramStarter(WineLocator());
        if (!program.isEmpty()) {
            setSlot(1, u"Piped"_s, program.replace(u"<here>"_s, here), icon.replace(u"<here>"_s, here));
        }
        if (action == u"adjust"_s) {
            QVERIFY(writeIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, u"E:"_s, ini()));
        }
        QStringList pipePaths;
        for (const QString &pipe : std::as_const(pipes)) {
            pipePaths.append(m_folder->path(pipe));
            m_folder->remove(pipe);
            QVERIFY(QDir().mkpath(QFileInfo(pipePaths.last()).absolutePath()));
            QVERIFY(Test::makeNamedPipe(pipePaths.last()));
        }
        Test::PipeWatchdog watchdog(pipePaths);

        // On-line, so the start looks at ver.dat for the version check.
        auto window = startWindow(action == u"adjust"_s ? here : u"/media/alice/STICK"_s, u"192.168.1.20"_s);
        QCOMPARE(bool(window), message.isEmpty() || action != u"start"_s);
        if (window) {
            OwnAppsTabPage *tab = window->ownAppsTab();
            QCOMPARE(tab->icon(0)->hasPicture(), program.isEmpty()); // else the slot's picture is a pipe or none
            if (action == u"click"_s) {
                QTest::mouseClick(tab->icon(0), Qt::LeftButton);
            } else if (action == u"extract"_s) {
                OwnAppEditor *editor = openEditor(*window);
                QVERIFY(child<QLabel>(editor, u"ImageShowIcon"_s)->pixmap().isNull());
                child<QPushButton>(editor, u"cmdExtractIcon"_s)->click();
                QVERIFY(editor->extractedIcons().isEmpty());
            } else if (action == u"adjust"_s) {
                tab->adjustDriveButton()->click();
                QCOMPARE(own(u"MyOwnAppPath1"_s), here + u"/My Tools/tool -x"_s);
                QCOMPARE(own(u"MyOwnAppIcon1"_s), here + u"/Icons/tool.png"_s);
                QVERIFY(!tab->icon(0)->hasPicture());
            }
        }
        watchdog.stop();
        QVERIFY2(!watchdog.released(), "a named pipe was opened, and the window waited for a writer");
        QStringList shown;
        for (const MessageBox::Shown &box : MessageBox::takeShown()) {
            shown.append(box.text);
        }
        QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
#endif
    }

    void textsFitInEveryLanguage_data()
    {
        QTest::addColumn<QString>("language");
        for (const LanguageItem &item : languageItems()) {
            QTest::newRow(item.fileName.toUtf8().constData()) << item.fileName.toString();
        }
    }

    void textsFitInEveryLanguage()
    {
        QFETCH(QString, language);
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, language, ini()));
        auto window = startWindow();
        QVERIFY(window);
        window->findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(4);
        window->show();
        OwnAppEditor *editor = openEditor(*window);
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        const QString file = m_folder->path(u"Languages/"_s + language);
        QCOMPARE(child<QPushButton>(editor, u"cmdSave"_s)->text(), translation(u"cmdSave"_s, file));

        QList<QWidget *> controls{window->ownAppsTab()->settingsButton(), window->ownAppsTab()->adjustDriveButton()};
        for (QWidget *w : editor->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractButton *>(w) ||
                (qobject_cast<QLabel *>(w) && !qobject_cast<QLabel *>(w)->text().isEmpty())) {
                controls.append(w);
            }
        }
        for (QWidget *w : std::as_const(controls)) {
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
            const QSize need = w->sizeHint();
            QVERIFY2(w->width() >= need.width() && w->height() >= need.height(),
                     qPrintable(u"%1 is %2 wide, needs %3"_s.arg(w->objectName()).arg(w->width()).arg(need.width())));
        }
    }
};

QTEST_MAIN(TestOwnApps)
#include "tst_ownapps.moc"

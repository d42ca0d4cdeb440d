#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/texts/TextKeys.h"
#include "tests/support/PortableFolder.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

const QString languagesDir = QStringLiteral(TRIVET_LANGUAGES_DIR);

// The names the Language menu and the settings file use. Français.lng is spelled with its cedilla: a file
// shipped as "Francais.lng" would never be found.
const QStringList languageFiles = {
    u"English.lng"_s,  u"Bulgarian.lng"_s, u"Catalan.lng"_s,   u"Deutsch.lng"_s, u"Spanish.lng"_s,
    u"Français.lng"_s, u"Greek.lng"_s,     u"Hungarian.lng"_s, u"Italian.lng"_s, u"Nederlands.lng"_s,
};

struct Entry
{
    QString key;
    QString value;
    int line = 0;
};

// The file as a translator wrote it, before any INI reader forgives duplicates or stray lines.
struct RawFile
{
    QStringList problems;
    QStringList sections;
    QList<Entry> entries;
};

RawFile parseRaw(const QByteArray &bytes)
{
    RawFile raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        raw.problems << u"starts with a byte-order mark"_s;
    }
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        raw.problems << u"is not valid UTF-8"_s;
        return raw;
    }
    const qsizetype lf = text.count(u'\n');
    if (text.count(u"\r\n"_s) != lf || text.count(u'\r') != lf) {
        raw.problems << u"has line endings other than CRLF"_s;
    }
    if (!text.endsWith(u"\r\n"_s)) {
        raw.problems << u"does not end with a line break"_s;
    }

    const QStringList lines = text.split(u"\r\n"_s);
    if (lines.isEmpty() || !lines.first().startsWith(u';')) {
        raw.problems << u"does not open with a comment line naming the language"_s;
    }
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u';')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            raw.sections << line.mid(1).chopped(line.endsWith(u']') ? 1 : 0).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            raw.problems << u"line %1 is neither a comment, a section nor key=text"_s.arg(i + 1);
        } else if (raw.sections.isEmpty()) {
            raw.problems << u"line %1 stands before any section"_s.arg(i + 1);
        } else {
            raw.entries.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed(), i + 1});
        }
    }
    return raw;
}

RawFile readRaw(const QString &fileName)
{
    QFile file(QDir(languagesDir).filePath(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        RawFile raw;
        raw.problems << u"cannot be opened"_s;
        return raw;
    }
    return parseRaw(file.readAll());
}

QString visibleText(QString text)
{
    text.replace(u"&&"_s, u"\x01"_s);
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

// The width the layouts leave for each kind of control; a longer text is cut off or overlaps its neighbour.
int maxLength(const QString &key)
{
    if (key.startsWith(u"stab"_s, Qt::CaseInsensitive)) {
        return 18;
    }
    if (key.startsWith(u"mnu"_s, Qt::CaseInsensitive)) {
        return 30;
    }
    if (key.startsWith(u"cmd"_s, Qt::CaseInsensitive) || key.startsWith(u"chk"_s, Qt::CaseInsensitive)) {
        return 24;
    }
    if (key.startsWith(u"lb"_s, Qt::CaseInsensitive) || key.startsWith(u"llb"_s, Qt::CaseInsensitive)) {
        return 110;
    }
    return -1; // message boxes wrap
}

// Controls reachable with Alt at the same time; two of them with one accelerator make the key ambiguous.
const QList<QStringList> acceleratorGroups = {
    {u"mnuFile"_s, u"mnuSettings"_s, u"mnuLanguage"_s, u"mnuHelpRoot"_s, u"cmdExit"_s, u"cmdSettings"_s,
     u"cmdUSBDrive"_s, u"chkProxy"_s, u"cmdSet"_s},
    {u"stab1"_s, u"stab2"_s, u"stab3"_s, u"stab4"_s, u"stab5"_s, u"mnuExit"_s},
    {u"mnuDownloadUpdate"_s, u"mnuDownloadIni"_s, u"mnuEditIniFile"_s, u"mnuUpdatePrograms"_s, u"mnuCheckAll"_s},
    {u"cmdUpdatePrograms"_s, u"cmdClose"_s},
    {u"mnuHelp"_s, u"mnuAbout"_s, u"mnuHomePage"_s},
    {u"cmdBrowse"_s, u"cmdExtractIcon"_s, u"cmdSaveIcon"_s, u"cmdSave"_s, u"cmdClose"_s},
    {u"cmdYes"_s, u"cmdNo"_s},
    {u"cmdSaveEdits"_s, u"cmdDiscardEdits"_s, u"cmdCancelEdits"_s},
    {u"lbProxyUser"_s, u"lbProxyPassword"_s},
    {u"mnuProgStart"_s, u"mnuProgUpdate"_s, u"mnuProgReinstall"_s, u"mnuProgCheck"_s, u"mnuProgOpenFolder"_s,
     u"mnuProgRemove"_s},
};

// Texts that are rightly the same word as in English. Anything else equal to English was left untranslated.
const QHash<QString, QStringList> sameAsEnglish = {
    {u"Catalan.lng"_s, {u"lbProxPort"_s, u"cmdNo"_s}},                    // "Port:", "&No"
    {u"Deutsch.lng"_s, {u"lbProxPort"_s}},                                // "Port:"
    {u"Hungarian.lng"_s, {u"lbProxPort"_s}},                              // "Port:"
    {u"Italian.lng"_s, {u"mnuFile"_s, u"cmdNo"_s, u"lbProxyPassword"_s}}, // "&File", "&No", "&Password:"
    {u"Nederlands.lng"_s, {u"mnuHelpRoot"_s}},                            // "&Help"
    {u"Spanish.lng"_s, {u"cmdNo"_s}},                                     // "&No"
};

QHash<QString, QString> textsByFoldedKey(const RawFile &raw)
{
    // The first of duplicate keys wins, as in the program's reader; the duplicates themselves fail elsewhere.
    QHash<QString, QString> texts;
    for (const Entry &e : raw.entries) {
        const QString folded = e.key.toCaseFolded();
        if (!texts.contains(folded)) {
            texts.insert(folded, e.value);
        }
    }
    return texts;
}

} // namespace

class TestLanguageFiles : public QObject
{
    Q_OBJECT

    Test::PortableFolder m_folder;

    QString inLanguages(const QString &name) const { return m_folder.path(u"Languages/"_s + name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_folder.copyShippedFiles();
        const QByteArray texts = "; Test\r\n[Translation]\r\nmnuFile=Secret\r\n";
        m_folder.writeFile(u"Secret.lng"_s, texts);
        m_folder.writeFile(u"Languages/Big.lng"_s, texts + "; " + QByteArray(MaxLanguageFileSize, 'x') + "\r\n");
        m_folder.writeFile(u"Languages/Keyless.lng"_s, "; Test\r\n[Translation]\r\n; none yet\r\n[Other]\r\nk=v\r\n");
        QVERIFY(QDir().mkpath(inLanguages(u"Folder.lng"_s)));
        QVERIFY(QFile::link(u"/dev/zero"_s, inLanguages(u"Zero.lng"_s)));
    }

    // [Language] Default names a file in Languages, nothing else; anything that cannot be used gives English.
    void resolveLanguageFile_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");

        const QString english = u"English.lng"_s;
        QTest::newRow("empty") << QString() << english;
        QTest::newRow("parent folders to passwd") << u"../../etc/passwd"_s << english;
        QTest::newRow("parent folders to a device") << u"../../../dev/zero"_s << english;
        QTest::newRow("good file outside Languages") << u"../Secret.lng"_s << english;
        QTest::newRow("absolute path of a good file") << inLanguages(u"Deutsch.lng"_s) << english;
        QTest::newRow("backslash") << u"..\\Secret.lng"_s << english;
        QTest::newRow("drive prefix") << u"C:Deutsch.lng"_s << english;
        QTest::newRow("parent folder itself") << u".."_s << english;
        QTest::newRow("folder") << u"Folder.lng"_s << english;
        QTest::newRow("device") << u"Zero.lng"_s << english;
        QTest::newRow("missing") << u"Klingon.lng"_s << english;
        QTest::newRow("over 1 MiB") << u"Big.lng"_s << english;
        QTest::newRow("no keys in [Translation]") << u"Keyless.lng"_s << english;
        QTest::newRow("good") << u"Deutsch.lng"_s << u"Deutsch.lng"_s;
        QTest::newRow("other letter case") << u"dEUTSCH.LNG"_s << u"Deutsch.lng"_s;
        QTest::newRow("legacy name with cedilla") << u"Français.lng"_s << u"Français.lng"_s;
        QTest::newRow("English itself") << english << english;
    }
    void resolveLanguageFile()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const bool fellBack = expected == u"English.lng"_s && value != expected;

        const LanguageFile resolved = Trivet::resolveLanguageFile(m_folder.root(), value);
        QCOMPARE(resolved.fileName, expected);
        QCOMPARE(resolved.path, inLanguages(expected));
        QCOMPARE(resolved.fellBack, fellBack);
        QCOMPARE(resolved.reason.isEmpty(), !fellBack);

        LanguageTexts texts(m_folder.root());
        const LanguageFile selected = texts.select(value);
        QCOMPARE(selected.path, resolved.path);
        QCOMPARE(texts.current().fellBack, fellBack);
        QCOMPARE(texts.text(u"MNUFILE"), readIni(u"Translation"_s, u"mnuFile"_s, resolved.path));
        QVERIFY(!texts.text(u"mnuFile").isEmpty());
    }

    // Each language file is parsed once however often it is chosen; texts missing from it come from English,
    // then from the program; an edit by hand is seen at the next lookup, and a file grown past 1 MiB is
    // no longer read.
    void languageTextsReadEachFileOnce()
    {
        m_folder.writeFile(u"Languages/Partial.lng"_s, "; Test\r\n[Translation]\r\nmnuFile=&Teilweise\r\n");
        const QString english = inLanguages(u"English.lng"_s);
        LanguageTexts texts(m_folder.root());
        for (int round = 0; round < 3; ++round) {
            for (const QString &name : {u"Deutsch.lng"_s, u"English.lng"_s, u"Partial.lng"_s}) {
                QCOMPARE(texts.select(name).fileName, name);
                for (const TextKey &k : allTextKeys()) {
                    const QString own = readIni(u"Translation"_s, k.key, inLanguages(name));
                    QCOMPARE(texts.text(k.key), own.isEmpty() ? readIni(u"Translation"_s, k.key, english) : own);
                }
            }
        }
        QCOMPARE(texts.parseCount(), 3);
        QCOMPARE(texts.text(u"mnuFile"), u"&Teilweise"_s);
        QCOMPARE(texts.text(u"noSuchKey"), QString());
        QCOMPARE(texts.text(u"noSuchKey", u"built-in"_s), u"built-in"_s);
        QCOMPARE(texts.text(u"mnuFile", u"built-in"_s), u"&Teilweise"_s);

        m_folder.writeFile(u"Languages/Partial.lng"_s, "; Test\r\n[Translation]\r\nmnuFile=&Teil\r\ncmdExit=&Ende\r\n");
        QCOMPARE(texts.text(u"cmdExit"), u"&Ende"_s);
        QCOMPARE(texts.parseCount(), 4);

        m_folder.writeFile(u"Languages/Partial.lng"_s,
                           "; Test\r\n[Translation]\r\ncmdExit=&Ende\r\n; " + QByteArray(MaxLanguageFileSize, 'x'));
        QCOMPARE(texts.text(u"cmdExit"), readIni(u"Translation"_s, u"cmdExit"_s, english));
    }

    void registryHasNoDuplicateKeys()
    {
        QHash<QString, QString> seen;
        QStringList duplicates;
        for (const TextKey &k : allTextKeys()) {
            const QString folded = k.key.toCaseFolded();
            if (seen.contains(folded)) {
                duplicates << u"%1 and %2"_s.arg(seen.value(folded), k.key);
            }
            seen.insert(folded, k.key);
            QVERIFY2(!k.where.isEmpty(), qPrintable(k.key));
        }
        QVERIFY2(duplicates.isEmpty(), qPrintable(duplicates.join(u", "_s)));
    }

    void isTextKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("expected");

        QTest::newRow("as registered") << u"lbWelcome1"_s << true;
        QTest::newRow("other letter case") << u"LBWELCOME1"_s << true;
        QTest::newRow("doubled first letter") << u"llbEasyClean1"_s << true;
        QTest::newRow("doubled letter is part of the key") << u"lbEasyClean1"_s << false;
        QTest::newRow("hover key spelled like key 1") << u"lbfreebyte"_s << true;
        QTest::newRow("settings key") << u"appAV-1"_s << false;
        QTest::newRow("fixed text is no key") << u"mnuOpenOfficePortable"_s << false;
        QTest::newRow("empty") << QString() << false;
    }
    void isTextKey()
    {
        QFETCH(QString, key);
        QFETCH(bool, expected);
        QCOMPARE(Trivet::isTextKey(key), expected);
    }

    void fileIsWellFormed_data() { addLanguageRows(); }
    void fileIsWellFormed()
    {
        QFETCH(QString, fileName);
        QVERIFY2(QDir(languagesDir).entryList(QDir::Files).contains(fileName),
                 qPrintable(u"no file named exactly %1 in %2"_s.arg(fileName, languagesDir)));

        const RawFile raw = readRaw(fileName);
        QVERIFY2(raw.problems.isEmpty(), qPrintable(raw.problems.join(u"; "_s)));
        QCOMPARE(raw.sections, QStringList{u"Translation"_s});
    }

    void fileHoldsEveryKeyOnce_data() { addLanguageRows(); }
    void fileHoldsEveryKeyOnce()
    {
        QFETCH(QString, fileName);
        const RawFile raw = readRaw(fileName);
        QVERIFY(!raw.entries.isEmpty());

        QStringList faults;
        QHash<QString, int> firstLine;
        for (const Entry &e : raw.entries) {
            const QString folded = e.key.toCaseFolded();
            if (firstLine.contains(folded)) {
                faults << u"%1 twice (lines %2 and %3)"_s.arg(e.key).arg(firstLine.value(folded)).arg(e.line);
            } else {
                firstLine.insert(folded, e.line);
            }
            if (!Trivet::isTextKey(e.key)) {
                faults << u"%1 (line %2) is no key the program reads"_s.arg(e.key).arg(e.line);
            }
        }

        // Read each text the way the program does, so quoting or blanks that the reader strips show up here.
        const QString path = QDir(languagesDir).filePath(fileName);
        const QHash<QString, QString> texts = textsByFoldedKey(raw);
        for (const TextKey &k : allTextKeys()) {
            const QString text = readIni(u"Translation"_s, k.key, path);
            if (!firstLine.contains(k.key.toCaseFolded())) {
                faults << u"%1 is missing"_s.arg(k.key);
            } else if (text.isEmpty()) {
                faults << u"%1 is empty"_s.arg(k.key);
            } else if (text != texts.value(k.key.toCaseFolded())) {
                faults << u"%1 reads as \"%2\""_s.arg(k.key, text);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_s)));
    }

    void textsFitTheirControls_data() { addLanguageRows(); }
    void textsFitTheirControls()
    {
        QFETCH(QString, fileName);
        const QHash<QString, QString> texts = textsByFoldedKey(readRaw(fileName));

        QStringList faults;
        for (const TextKey &k : allTextKeys()) {
            const QString shown = visibleText(texts.value(k.key.toCaseFolded()));
            const int limit = maxLength(k.key);
            if (limit >= 0 && shown.size() > limit) {
                faults
                    << u"%1 has %2 characters, at most %3 fit: %4"_s.arg(k.key).arg(shown.size()).arg(limit).arg(shown);
            }
        }
        for (const QStringList &group : acceleratorGroups) {
            QHash<QChar, QString> owner;
            for (const QString &key : group) {
                const QString text = texts.value(key.toCaseFolded());
                const qsizetype amp = text.indexOf(u'&');
                if (amp < 0) {
                    continue;
                }
                const QChar accel = amp + 1 < text.size() ? text.at(amp + 1).toCaseFolded() : QChar();
                if (!accel.isLetterOrNumber()) {
                    faults << u"%1 has a '&' that marks no letter"_s.arg(key);
                } else if (owner.contains(accel)) {
                    faults << u"%1 and %2 share the accelerator %3"_s.arg(owner.value(accel), key, accel);
                } else {
                    owner.insert(accel, key);
                }
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_s)));
    }

    void textsAreTranslated_data()
    {
        QTest::addColumn<QString>("fileName");
        for (const QString &name : languageFiles.mid(1)) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    void textsAreTranslated()
    {
        QFETCH(QString, fileName);
        const QHash<QString, QString> english = textsByFoldedKey(readRaw(u"English.lng"_s));
        const QHash<QString, QString> texts = textsByFoldedKey(readRaw(fileName));
        const QStringList allowed = sameAsEnglish.value(fileName);

        QStringList untranslated;
        for (const TextKey &k : allTextKeys()) {
            const QString folded = k.key.toCaseFolded();
            if (texts.value(folded) == english.value(folded) && !allowed.contains(k.key)) {
                untranslated << u"%1=%2"_s.arg(k.key, texts.value(folded));
            }
        }
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u"\n"_s)));
    }

    // A check that passes on nothing proves nothing: the reader above must notice what it is meant to.
    void rawReaderNoticesFaults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");

        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF; x\r\n[Translation]\r\nk=v\r\n") << u"byte-order mark"_s;
        QTest::newRow("legacy code page") << QByteArray("; x\r\n[Translation]\r\nk=Fran\xE7"
                                                        "ais\r\n")
                                          << u"not valid UTF-8"_s;
        QTest::newRow("bare LF") << QByteArray("; x\r\n[Translation]\nk=v\r\n") << u"CRLF"_s;
        QTest::newRow("no comment") << QByteArray("[Translation]\r\nk=v\r\n") << u"comment line"_s;
        QTest::newRow("stray line") << QByteArray("; x\r\n[Translation]\r\njust text\r\n") << u"line 3"_s;
        QTest::newRow("key before section") << QByteArray("; x\r\nk=v\r\n[Translation]\r\n") << u"before any"_s;
    }
    void rawReaderNoticesFaults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        const QString found = parseRaw(bytes).problems.join(u"; "_s);
        QVERIFY2(found.contains(problem), qPrintable(found));
    }

private:
    static void addLanguageRows()
    {
        QTest::addColumn<QString>("fileName");
        for (const QString &name : languageFiles) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }
};

QTEST_GUILESS_MAIN(TestLanguageFiles)
#include "tst_languagefiles.moc"

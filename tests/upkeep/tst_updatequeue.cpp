#include "common/settings/LangHandler.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/upkeep/UpdateQueue.h"
#include "tests/support/PortableFolder.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

// Keeps what the queue shows, and ticks the boxes a test chose.
class RecordingQueueView final : public UpdateQueueView
{
public:
    void showCaptions(const Captions &given) override { captions = given; }
    void showPrograms(const QList<Row> &given) override
    {
        rows = given;
        states = QStringList(given.size());
    }
    void showNothingToDo(const QString &text) override { nothing = text; }
    QList<bool> chosenPrograms() const override { return chosen; }
    void showState(int row, const QString &text) override { states[row] = text; }
    void showProgress(int percent) override { progress.append(percent); }
    void showRunning(bool on) override { running = on; }
    void showSummary(const QString &line, const QStringList &lines) override
    {
        summary = line;
        kept = lines;
    }

    Captions captions;
    QList<Row> rows;
    QString nothing;
    QList<bool> chosen;
    QStringList states;
    QList<int> progress;
    bool running = false;
    QString summary;
    QStringList kept;
};

// How the install of one program goes in the stand-in for the launcher.
enum class Outcome {
    Updated,     // downloads, installs
    Kept,        // installs, keeping a file the user changed beside its new version
    Failed,      // the package is damaged
    Refused,     // what came was refused and the working copy stays, as an install that keeps a program ends
    Busy,        // cannot begin: the program runs
    CancelledOn, // the user cancels halfway through its download
};

} // namespace

class TestUpdateQueue : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

private slots:
    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
    }

    void updatesRunOneAfterTheOther_data()
    {
        QTest::addColumn<QList<Outcome>>("outcomes");
        QTest::addColumn<QList<bool>>("chosen");
        QTest::addColumn<QStringList>("states"); // keys: "lbUpdDone", "lbUpdSkipped lbUpdBusy", "" for untouched
        QTest::addColumn<QString>("counts");     // updated, skipped, failed
        QTest::addColumn<QStringList>("started");

        using O = Outcome;
        QTest::newRow("all updated") << QList{O::Updated, O::Updated, O::Updated} << QList{true, true, true}
                                     << QStringList{u"lbUpdDone"_s, u"lbUpdDone"_s, u"lbUpdDone"_s} << u"3 0 0"_s
                                     << QStringList{u"A"_s, u"B"_s, u"C"_s};
        QTest::newRow("one fails") << QList{O::Updated, O::Failed, O::Updated} << QList{true, true, true}
                                   << QStringList{u"lbUpdDone"_s, u"lbUpdFailed errReasonDamaged"_s, u"lbUpdDone"_s}
                                   << u"2 0 1"_s << QStringList{u"A"_s, u"B"_s, u"C"_s};
        QTest::newRow("one running") << QList{O::Busy, O::Updated, O::Updated} << QList{true, true, true}
                                     << QStringList{u"lbUpdSkipped lbUpdBusy"_s, u"lbUpdDone"_s, u"lbUpdDone"_s}
                                     << u"2 1 0"_s << QStringList{u"A"_s, u"B"_s, u"C"_s};
        QTest::newRow("refused download") << QList{O::Refused, O::Updated} << QList{true, true}
                                          << QStringList{u"lbUpdFailed errReasonWebPage"_s, u"lbUpdDone"_s}
                                          << u"1 0 1"_s << QStringList{u"A"_s, u"B"_s};
        QTest::newRow("cancel in the middle")
            << QList{O::Updated, O::CancelledOn, O::Updated} << QList{true, true, true}
            << QStringList{u"lbUpdDone"_s, u"lbUpdSkipped lbUpdCancelled"_s, u"lbUpdSkipped lbUpdCancelled"_s}
            << u"1 2 0"_s << QStringList{u"A"_s, u"B"_s};
        QTest::newRow("one not ticked") << QList{O::Updated, O::Updated, O::Kept} << QList{true, false, true}
                                        << QStringList{u"lbUpdDone"_s, QString(), u"lbUpdDone"_s} << u"2 0 0"_s
                                        << QStringList{u"A"_s, u"C"_s};
    }

    // The chosen programs are updated in the list's order, one at a time: the next begins only once the one
    // before has ended, whatever became of it; each says what became of it, and the end line counts them.
    void updatesRunOneAfterTheOther()
    {
        QFETCH(QList<Outcome>, outcomes);
        QFETCH(QList<bool>, chosen);
        QFETCH(QStringList, states);
        QFETCH(QString, counts);
        QFETCH(QStringList, started);

        LanguageTexts texts(m_folder->root());
        texts.select(u"English.lng"_s);
        RecordingQueueView view;
        QStringList calls;
        int cancels = 0;
        QString underWay;
        std::unique_ptr<UpdateQueue> queue;
        // As the launcher ends an install: what the installer did, then whether a program is ready (also the
        // working copy an install kept).
        const auto end = [&queue](const QString &id, InstallResult result) {
            QTimer::singleShot(0, queue.get(), [&queue, id, result] {
                queue->programUpdated(id, result);
                queue->programFinished(id, result.ok());
            });
        };
        const auto reinstall = [&](const QString &id) {
            if (!underWay.isEmpty()) {
                qWarning() << id << "began while" << underWay << "was under way";
                return false;
            }
            calls.append(id);
            const Outcome outcome = outcomes.at(id.at(0).unicode() - 'A');
            if (outcome == Outcome::Busy) {
                return false;
            }
            underWay = id;
            InstallResult result;
            result.id = id;
            result.status = InstallStatus::Success;
            QTimer::singleShot(0, queue.get(), [&queue, id] { queue->programProgress(id, 40, 100); });
            switch (outcome) {
            case Outcome::CancelledOn:
                QTimer::singleShot(0, queue.get(), [&queue] { queue->cancel(); });
                return true;
            case Outcome::Failed:
                result.status = InstallStatus::Failed;
                result.reason = FailureReason::NotAProgram;
                break;
            case Outcome::Refused:
                result.reason = FailureReason::WebPage;
                break;
            case Outcome::Kept:
                result.keptChanged = QStringList{u"Tool/tool.ini"_s};
                result.keptNoLonger = QStringList{u"Tool/old.dat"_s};
                break;
            default:
                break;
            }
            QTimer::singleShot(0, queue.get(), [&underWay] { underWay.clear(); });
            end(id, result);
            return true;
        };
        const auto cancel = [&] {
            ++cancels;
            InstallResult result;
            result.id = underWay;
            result.status = InstallStatus::Cancelled;
            underWay.clear();
            end(result.id, result);
        };
        queue = std::make_unique<UpdateQueue>(texts, view, reinstall, cancel);

        QList<OutdatedProgram> programs;
        for (qsizetype i = 0; i < outcomes.size(); ++i) {
            programs.append({QString(QChar(char16_t(u'A' + i))), u"Program %1"_s.arg(i), i == 0 ? 2500000 : -1});
        }
        queue->offer(programs, false);
        QCOMPARE(view.rows.size(), programs.size());
        QCOMPARE(view.rows.first().size, u"2.4 MB"_s);
        QCOMPARE(view.rows.last().size, QString());
        QCOMPARE(view.captions.update, T(u"cmdUpdatePrograms"_s));
        view.chosen = chosen;

        QSignalSpy finished(queue.get(), &UpdateQueue::finished);
        queue->start();
        QVERIFY(view.running);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!view.running);
        QCOMPARE(calls, started);
        QCOMPARE(cancels, outcomes.contains(Outcome::CancelledOn) ? 1 : 0);
        QVERIFY(view.progress.contains(40));
        QCOMPARE(view.progress.last(), -1);

        QStringList expected;
        for (const QString &state : states) {
            const QStringList keys = state.split(u' ', Qt::SkipEmptyParts);
            expected.append(keys.isEmpty() ? QString() : keys.size() == 1 ? T(keys[0]) : T(keys[0]).arg(T(keys[1])));
        }
        QCOMPARE(view.states, expected);
        const QStringList numbers = counts.split(u' ');
        QCOMPARE(view.summary, T(u"lbUpdSummary"_s).arg(numbers[0], numbers[1], numbers[2]));
        if (outcomes.contains(Outcome::Kept)) {
            QCOMPARE(view.kept, (QStringList{T(u"lbUpdKeptChanged"_s), u"Tool/tool.ini"_s, T(u"lbUpdKeptNoLonger"_s),
                                             u"Tool/old.dat"_s}));
        } else {
            QVERIFY(view.kept.isEmpty());
        }
    }

    void nothingToUpdate_data()
    {
        QTest::addColumn<int>("programs");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("key");
        QTest::newRow("every program current") << 0 << false << u"lbUpdAllCurrent"_s;
        QTest::newRow("off-line") << 2 << true << u"lbUpdOffline"_s;
    }

    // With nothing to update, or no way to, the window says why and Update starts nothing.
    void nothingToUpdate()
    {
        QFETCH(int, programs);
        QFETCH(bool, offline);
        QFETCH(QString, key);
        LanguageTexts texts(m_folder->root());
        texts.select(u"English.lng"_s);
        RecordingQueueView view;
        int calls = 0;
        UpdateQueue queue(
            texts, view,
            [&calls](const QString &) {
                ++calls;
                return true;
            },
            [] {});
        QList<OutdatedProgram> list;
        for (int i = 0; i < programs; ++i) {
            list.append({u"OFF-%1"_s.arg(i + 1), u"Program"_s});
        }
        queue.offer(list, offline);
        QCOMPARE(view.nothing, T(key));
        QVERIFY(view.rows.isEmpty());
        view.chosen = QList<bool>(programs, true);
        QSignalSpy finished(&queue, &UpdateQueue::finished);
        queue.start();
        QCOMPARE(calls, 0);
        QVERIFY(!queue.isRunning());
        QVERIFY(finished.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUpdateQueue)
#include "tst_updatequeue.moc"

#include "launcher/ownapps/FileDialog.h"

#include <QDir>
#include <QFileDialog>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

struct Recorder
{
    bool recording = false;
    QString nextName;
    QList<QStringList> asked;
    QString lastFolder;
};

// The suffix of a filter's first pattern: "png" for "Png (*.png)".
QString suffixOf(const QString &filter)
{
    const qsizetype dot = filter.indexOf(u"*."_s);
    if (dot < 0) {
        return {};
    }
    qsizetype end = dot + 2;
    while (end < filter.size() && filter.at(end).isLetterOrNumber()) {
        ++end;
    }
    return filter.mid(dot + 2, end - dot - 2);
}

Recorder &recorder()
{
    static Recorder r;
    return r;
}

} // namespace

QString FileDialog::ask(QWidget *parent, const QStringList &filters, const QString &selected, const QString &folder,
                        bool save)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.asked.append(filters);
        r.lastFolder = folder;
        return std::exchange(r.nextName, {});
    }
    QFileDialog dialog(parent);
    dialog.setObjectName(u"cdbOpenFile"_s);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    dialog.setNameFilters(filters);
    if (!selected.isEmpty()) {
        dialog.selectNameFilter(selected);
    }
    if (save) {
        dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString &filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    }
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString FileDialog::openFileName(QWidget *parent, const QStringList &filters, const QString &selected)
{
    return ask(parent, filters, selected, {}, false);
}

QString FileDialog::saveFileName(QWidget *parent, const QStringList &filters, const QString &folder)
{
    return ask(parent, filters, {}, folder, true);
}

void FileDialog::setRecording(bool on)
{
    recorder() = Recorder{on, {}, {}, {}};
}

void FileDialog::setNextFileName(const QString &name)
{
    recorder().nextName = name;
}

QList<QStringList> FileDialog::takeAsked()
{
    return std::exchange(recorder().asked, {});
}

QString FileDialog::lastFolder()
{
    return recorder().lastFolder;
}

} // namespace Trivet

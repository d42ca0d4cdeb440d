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
};

Recorder &recorder()
{
    static Recorder r;
    return r;
}

} // namespace

QString FileDialog::ask(QWidget *parent, const QStringList &filters, const QString &selected, bool save)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.asked.append(filters);
        return std::exchange(r.nextName, {});
    }
    QFileDialog dialog(parent);
    dialog.setObjectName(u"cdbOpenFile"_s);
    dialog.setNameFilters(filters);
    if (!selected.isEmpty()) {
        dialog.selectNameFilter(selected);
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
    return ask(parent, filters, selected, false);
}

QString FileDialog::saveFileName(QWidget *parent, const QStringList &filters)
{
    return ask(parent, filters, {}, true);
}

void FileDialog::setRecording(bool on)
{
    recorder() = Recorder{on, {}, {}};
}

void FileDialog::setNextFileName(const QString &name)
{
    recorder().nextName = name;
}

QList<QStringList> FileDialog::takeAsked()
{
    return std::exchange(recorder().asked, {});
}

} // namespace Trivet

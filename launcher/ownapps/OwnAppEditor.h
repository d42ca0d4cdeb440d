#pragma once

#include "common/platform/AppFolder.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/ownapps/OwnAppSlot.h"

#include <QDialog>
#include <QList>
#include <QPixmap>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Trivet {

class IniFile;
class OwnAppsController;

// The window in which the user fills one of the own-program slots: its name, its program, its icon
// picture, optionally taken out of the program file and saved as a picture. Saving shows the slot on the
// main window at once. Its texts come from the language file the settings name when it opens. A dialog of
// the main window, not modal; edits that were not saved are never dropped without asking, whether the user
// turns to another slot or closes the window.
class OwnAppEditor final : public QDialog
{
    Q_OBJECT

public:
    OwnAppEditor(OwnAppsController &apps, const IniFile &settings, const AppFolder &folder, QWidget *parent = nullptr);

    // The icons taken out of program files since the window opened, oldest first; the newest is shown.
    const QList<QPixmap> &extractedIcons() const { return m_extracted; }
    // Shows the slot's settings, as choosing it in the list does.
    void selectSlot(int slot);
    // Whether a field differs from what the slot shown holds.
    bool hasUnsavedEdits() const;

    // Closing by any way (close box, Escape, Close) asks first when there are unsaved edits.
    void reject() override;

    static constexpr int IconSize = 32;

private:
    void buildControls();
    void applyTexts();

    OwnAppSlot fields() const;
    void slotChosen(int slot);
    void loadSlot(int slot);
    // Asks what becomes of unsaved edits; true when the user may go on (saved or dropped).
    bool settleEdits();
    void showPreview(const OwnAppSlot &values);

    void browseProgram();
    void browseIcon();
    void extractIcon();
    void saveIcon();
    bool saveSlot();

    OwnAppsController &m_apps;
    LanguageTexts m_texts;

    QLabel *m_numberLabel = nullptr;
    QComboBox *m_number = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLineEdit *m_name = nullptr;
    QLabel *m_pathLabel = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browsePath = nullptr;
    QLabel *m_iconLabel = nullptr;
    QLineEdit *m_icon = nullptr;
    QPushButton *m_browseIcon = nullptr;
    QLabel *m_preview = nullptr;
    QPushButton *m_extract = nullptr;
    QLabel *m_extractedView = nullptr;
    QPushButton *m_saveIcon = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_close = nullptr;
    QList<QPixmap> m_extracted;
    AppFolder m_folder;
    int m_shownSlot = 0;
    OwnAppSlot m_loaded; // the fields' texts as the slot shown filled them
};

} // namespace Trivet

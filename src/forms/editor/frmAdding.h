#pragma once

#include "data/owner/Household.h"

#include <QMainWindow>
#include <QVariant>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pantrio
{

class Connection;
class DataCombo;
class DataControl;
class EditSession;
class RecordSet;

// The item editor: one catalogue record at a time through its own record set
// adoPrimaryRS, its modes (browse, adding, editing) kept by an EditSession, and
// the category and find lists. Its controls are built from the table in
// frmAddingLayout.cpp. When it has closed it says so (closed()); the program
// then brings the main window back.
class frmAdding : public QMainWindow
{
    Q_OBJECT
  public:
    frmAdding();
    ~frmAdding() override;

    void Form_Load();
    bool loadedOk() const { return m_loadError.isEmpty(); }
    QString loadError() const { return m_loadError; }
    // The open household file and the help file, handed in before the load;
    // the window follows every change the file announces.
    void setConnections(Household &file, const QString &helpFile);

    void SetBrowseMode(bool browse);
    // Writes an addition or edit not yet written (the program is ending);
    // false, told, when it cannot be stored.
    bool storeTyping();
    void Form_KeyDown(int key, Qt::KeyboardModifiers shift);
    void Form_Resize();

    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdUpdate_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdQuit_Click();
    void mnuExit_Click();
    void mnuHelp_Click();
    void cboCat_Click();
    void cboFind_Click();
    void cmdRefreshCombo_Click();
    void DialogShowing(int choice);

    // The field boxes by their index: 0 Aisle, 1 Category, 2 ID, 3 Item.
    QLineEdit *txtFields(int index) const { return m_fields[index]; }
    RecordSet *adoPrimaryRS() const { return m_rs; }
    DataControl *adoSettings() const { return m_adoSettings; }
    bool adding() const;
    bool editing() const;

  signals:
    // Any pending change is written and the editor has closed.
    void closed();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void buildControls();
    void buildMenus();
    void showRecord();
    void showFields();
    void step(int which); // an EditSession::Step, the beep past an end
    void fieldEdited(int index, const QString &text);
    bool finishPendingChange(QString *error);
    bool Form_QueryUnload();
    void refreshFindList();
    void showError(const QString &error);
    void fileChanged(pantrio::Household::Changes what, const QObject *origin);

    DataControl *m_adoCat;
    DataControl *m_adoVend;
    DataControl *m_adoSettings;
    Household *m_file = nullptr;
    RecordSet *m_rs = nullptr;

    QLineEdit *m_fields[4] = {};
    QLabel *m_labels[4] = {};
    QWidget *picStatBox = nullptr;
    QWidget *picButtons = nullptr;
    QPushButton *cmdFirst = nullptr, *cmdPrevious = nullptr, *cmdNext = nullptr, *cmdLast = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *cmdAdd = nullptr, *cmdEdit = nullptr, *cmdDelete = nullptr, *cmdRefresh = nullptr,
                *cmdUpdate = nullptr, *cmdCancel = nullptr;
    QPushButton *cmdQuit = nullptr;
    DataCombo *cboFind = nullptr;
    DataCombo *cboCat = nullptr;
    QPushButton *cmdRefreshCombo = nullptr;
    QLabel *lblCatList = nullptr;
    QLabel *lblSearchBox = nullptr;

    EditSession *m_session = nullptr;

    QString m_helpFile;
    QString m_loadError;
    bool m_showing = false; // fields being filled from the record, not typed
    bool m_closing = false;
    bool m_readingBack = false; // a stored change being shown
};

} // namespace pantrio

#pragma once

#include <QMainWindow>

#include "data/owner/Household.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableView;

namespace pantrio
{

class StoreAisleModel;

// The Stores window: the shops the household uses, the walking order of each
// one's aisles, and every item's aisle there, edited in place with undo of
// the last edits. Works on the open household file: every change is written
// at once as a step of the file's history, and the window follows every
// change the file announces, whichever window made it.
// Controls are built in frmStoresLayout.cpp.
class frmStores : public QMainWindow
{
    Q_OBJECT
  public:
    frmStores();
    ~frmStores() override;

    // Shows the file's stores; false with loadError() when it has none to show.
    bool load(Household &file);
    QString loadError() const { return m_loadError; }

    void cmdAddStore_Click();
    void cmdRenameStore_Click();
    void cmdDeleteStore_Click();
    void chkCurrent_Toggled(bool checked);
    void cmdMoveUp_Click() { moveAisle(-1); }
    void cmdMoveDown_Click() { moveAisle(+1); }
    void lstStores_Changed();
    void cmdUndo_Click();
    void cmdRedo_Click();

    // The store shown, or -1.
    qlonglong selectedStore() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void buildControls();
    void reloadStores(qlonglong select);
    void showStore();
    void showOrder();
    void moveAisle(int step);
    void orderEdited();
    bool writeOrder(const QStringList &aisles, const QStringList &excluded, QString *error);
    void filterItems();
    bool showError(const QString &error);
    bool change(const QString &text, const std::function<bool(QString *)> &write,
                const QObject *origin = nullptr);
    void fileChanged(pantrio::Household::Changes what, const QObject *origin);
    void showHistory();

    Household *m_file = nullptr;
    StoreAisleModel *m_model = nullptr;
    QString m_loadError;
    bool m_showing = false; // lists being filled, not edited
    bool m_readingBack = false; // a stored change being shown
    // The walking order as last shown and stored: what an edit changes from.
    QStringList m_shownAisles;
    QStringList m_shownExcluded;

    QListWidget *lstStores = nullptr;
    QPushButton *cmdAddStore = nullptr;
    QPushButton *cmdRenameStore = nullptr;
    QPushButton *cmdDeleteStore = nullptr;
    QCheckBox *chkCurrent = nullptr;
    QLabel *lblOrder = nullptr;
    QListWidget *lstOrder = nullptr;
    QPushButton *cmdMoveUp = nullptr;
    QPushButton *cmdMoveDown = nullptr;
    QComboBox *cboCategory = nullptr;
    QLineEdit *txtFilter = nullptr;
    QTableView *grdAisles = nullptr;
    QPushButton *cmdUndo = nullptr;
    QPushButton *cmdRedo = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace pantrio

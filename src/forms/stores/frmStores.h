#pragma once

#include <QMainWindow>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableView;
class QUndoStack;

namespace pantrio
{

class Connection;
class StoreAisleModel;

// The Stores window: the shops the household uses, the walking order of each
// one's aisles, and every item's aisle there, edited in place with undo of
// the last edits. It has its own connection; every change is written at once.
// Controls are built in frmStoresLayout.cpp.
class frmStores : public QMainWindow
{
    Q_OBJECT
  public:
    frmStores();
    ~frmStores() override;

    // Opens the database; false with loadError() when it cannot.
    bool load(const QString &databasePath);
    QString loadError() const { return m_loadError; }

    void cmdAddStore_Click();
    void cmdRenameStore_Click();
    void cmdDeleteStore_Click();
    void chkCurrent_Toggled(bool checked);
    void cmdMoveUp_Click() { moveAisle(-1); }
    void cmdMoveDown_Click() { moveAisle(+1); }
    void lstStores_Changed();

    // The store shown, or -1.
    qlonglong selectedStore() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    friend class OrderChange;
    void buildControls();
    void reloadStores(qlonglong select);
    void showStore();
    void showOrder();
    void moveAisle(int step);
    void orderEdited();
    bool writeOrder(const QStringList &aisles, const QStringList &excluded, QString *error);
    void filterItems();
    bool showError(const QString &error);

    std::unique_ptr<Connection> m_connection;
    StoreAisleModel *m_model = nullptr;
    QUndoStack *m_undo = nullptr;
    QString m_loadError;
    bool m_showing = false; // lists being filled, not edited
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

#pragma once

#include "data/owner/Household.h"

#include <QMainWindow>
#include <QVariant>

class QAction;
class QLabel;
class QListView;
class QListWidget;
class QPushButton;
class QTableView;

namespace pantrio
{

class CatalogueView;
class DataControl;
class DEVendora;
class RecordSetModel;

// The main window: category list, catalogue view with check boxes, the
// shopping-list grid and their commands. It owns its four data controls; each
// load reads everything afresh. Its controls are built from the table in
// frmVendoraLayout.cpp. It never opens, closes or finds another window: it
// says what it wants by signal, and the program (Module1) switches windows.
class frmVendora : public QMainWindow
{
    Q_OBJECT
  public:
    frmVendora();
    ~frmVendora() override;

    // The open household file (its connection and report data environment)
    // and the help file, handed in before the load. The window reloads what
    // it shows whenever the file announces a change.
    void setConnections(Household &file, const QString &helpFile);
    // The load procedure; on failure loadedOk() is false and loadError() says why.
    void Form_Load();
    bool loadedOk() const { return m_loadError.isEmpty(); }
    QString loadError() const { return m_loadError; }
    // The file cannot be changed in this run: the commands that would change
    // it are switched off and say why; showing and printing stay.
    void setReadOnly(const QString &reason);

    void fillRecentList(const QVariant &highestID);
    void AddToListView();

    // Handlers, named after their controls.
    void lstCat_Click();
    void cmdAll_Click();
    void lvwItems_Click();
    void cmdSelNone_Click();
    void cmdQuit_Click();
    void cmdAddToList_Click();
    void cmdRef_Click();
    void cmdClearAll_Click();
    void grdList_AfterColEdit(int colIndex);
    void grdList_AfterDelete();
    void cmdDelCat_Click();
    void mnuAdd_Click();
    void mnuStores_Click() { emit storesRequested(); }
    void mnuMeals_Click() { emit mealsRequested(false); }
    void mnuUsual_Click() { emit mealsRequested(true); }
    void mnuImportMeals_Click();
    void mnuExportMeals_Click();
    void mnuImportStores_Click();
    void mnuExportStores_Click();
    void mnuAislePrintStore_Click();
    void mnuBackUp_Click();
    void mnuRestore_Click();
    void mnuImport_Click();
    void mnuExportCatalogue_Click();
    void mnuExportList_Click();
    void mnuExportPhone_Click();
    void mnuShowQr_Click();
    void mnuCopyText_Click();
    void mnuShare_Click() { emit shareRequested(); }
    void mnuRemoveTicked_Click();
    void mnuFont_Click() { DialogShowing(1); }
    void mnuBackColor_Click() { DialogShowing(2); }
    void mnuFontColor_Click() { DialogShowing(4); }
    void mnuPrint_Click();
    void mnuPrintFull_Click();
    void mnuAislePrint_Click();
    void mnuHelpShow_Click();
    void mnuVersion_Click();
    void DialogShowing(int choice);

    // Data controls, for the appearance code and the print commands.
    DataControl *adoCat() const { return m_adoCat; }
    DataControl *adoVendora() const { return m_adoVendora; }
    DataControl *adoList() const { return m_adoList; }
    DataControl *adoSettings() const { return m_adoSettings; }

    // The designed font of the window, which nothing changes.
    static QFont designedFont();

  signals:
    // "Add" was chosen (and any question about ticked items answered OK).
    void editorRequested();
    // "Stores…" was chosen.
    void storesRequested();
    // "Meals…" or "Usually Bought…" was chosen.
    void mealsRequested(bool usual);
    // "Share List on Home Network…" was chosen.
    void shareRequested();
    // The Exit button: the program ends at once.
    void quitRequested();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool m_readingBack = false; // reading back a change that was stored
    void buildControls();
    void buildMenus();
    void buildEditMenu(Household &file);
    void showCount();
    void fitGridRowsToFont();
    void setGridEnabledByCount();
    void restoreGridWidths();
    void deleteGridRows();
    void showHelpForFocus();
    void showError(const QString &error);
    void fileChanged(pantrio::Household::Changes what, const QObject *origin);
  public:
    // Stores what is being typed in the grid, as ending the edit would; false
    // (told) when it cannot be stored. Every command that reads or replaces
    // the list calls it first, so nothing typed is dropped.
    bool storeTyping();

  private:
    void rereadList();
    void showTicks();
    // Runs one change of the user's through the household file; false, told,
    // when it failed.
    bool change(const QString &text, Household::Changes what,
                const std::function<bool(QString *)> &write);

    DataControl *m_adoCat;
    DataControl *m_adoVendora;
    DataControl *m_adoList;
    DataControl *m_adoSettings;
    RecordSetModel *m_catModel;
    RecordSetModel *m_listModel;
    DEVendora *m_de = nullptr;
    Household *m_file = nullptr;

    QListView *lstCat = nullptr;
    CatalogueView *lvwItems = nullptr;
    QPushButton *cmdAddToList = nullptr;
    QTableView *grdList = nullptr;
    QLabel *lblCount = nullptr;
    QPushButton *cmdDelCat = nullptr;
    QPushButton *cmdSelNone = nullptr;
    QPushButton *cmdQuit = nullptr;
    QPushButton *cmdClearAll = nullptr;
    QPushButton *cmdRef = nullptr;
    QPushButton *cmdAll = nullptr;
    QListWidget *lstRecent = nullptr;

    QString m_helpFile;
    QString m_loadError;
    bool bLoading = false;
    bool m_readOnly = false;
    int m_editedRow = -1;
};

} // namespace pantrio

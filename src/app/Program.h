#pragma once

#include "app/StartUp.h"
#include "data/owner/Household.h"

#include <QPointer>
#include <QVariant>

namespace pantrio
{

class frmAdding;
class frmShare;
class frmMeals;
class frmStores;
class frmVendora;

// The running program: the one owner of the open household file, its lock,
// and the top-level windows. It makes and loads each window on first use,
// hands it the file, and switches between them when they ask (the editor
// wanted, the editor closed, the file replaced or gone). One per run; the
// windows reach it through Module1.
class Program : public QObject
{
    Q_OBJECT
  public:
    static Program &instance();
    // Ends the run's program: every window, then the file, then its lock.
    static void end();

    // The start-up: false when the database cannot be used (already told).
    bool start();

    Household &household() { return m_household; }
    QString readOnlyReason() const { return m_prepared.readOnlyReason; }
    QVariant highestID() const { return m_highestID; }
    void setHighestID(const QVariant &id);

    frmVendora *mainWindow(); // loaded when it is not
    frmVendora *mainIfLoaded() const;
    void unloadMain();
    frmAdding *editor(); // loaded when it is not
    frmAdding *editorIfLoaded() const;
    void unloadEditor();
    frmStores *storesIfOpen() const;
    frmMeals *mealsIfOpen() const;
    frmShare *shareIfOpen() const;

    void setConnections(int formNo);
    void fillRecentList();
    // Stores what is being typed in any window; false when something could
    // not be stored (told).
    bool storePending();

    ~Program() override;

  private:
    Program();
    void openEditor();
    void closeEditor();
    void openStores();
    void openMeals(bool usual);
    void openShare();
    void reloadMain();
    void offerWriteBack();

    // Declared in the order they must go in reverse: the file before its lock.
    StartUp::Prepared m_prepared;
    Household m_household;
    QVariant m_highestID;
    QPointer<frmVendora> m_main;
    QPointer<frmAdding> m_editor;
    QPointer<frmStores> m_stores;
    QPointer<frmMeals> m_meals;
    QPointer<frmShare> m_share;
    bool m_askingWriteBack = false;
};

} // namespace pantrio

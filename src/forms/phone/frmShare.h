#pragma once

#include <QHostAddress>
#include <QMainWindow>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace pantrio
{

class Household;
class ShareService;

// "Share List on Home Network": while this window is open the list is
// shared with the household's phones. It shows a code to scan (a one-time
// joining secret inside), the address in words, the phones that joined with
// Forget for each, and Stop Sharing. Closing it stops the sharing; nothing
// listens otherwise.
class frmShare : public QMainWindow
{
    Q_OBJECT
  public:
    explicit frmShare(Household &file);
    ~frmShare() override;

    // Starts sharing; false with loadError() when it cannot.
    bool start();
    QString loadError() const { return m_loadError; }
    ShareService *service() const { return m_service.get(); }

    void cmdNewCode_Click();
    void cmdForget_Click();
    void cmdStop_Click() { close(); }

  protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void showDevices();
    // The local network address phones reach, on the home network.
    static QHostAddress homeAddress();

    Household &m_file;
    std::unique_ptr<ShareService> m_service;
    QString m_loadError;
    QLabel *picCode;
    QLabel *lblAddress;
    QListWidget *lstPhones;
    QPushButton *cmdForget;
};

} // namespace pantrio

#pragma once

#include <QMainWindow>

class QLabel;
class QPushButton;

namespace pantrio
{

// The shopping list as a QR code to scan from the screen, with what it holds
// in words; a screen reader hears the list itself.
class frmQrCode : public QMainWindow
{
    Q_OBJECT
  public:
    frmQrCode();
    void setCode(const QImage &code, const QString &text, int lines);
    QImage code() const { return m_code; }
    QString text() const { return m_text; }

  protected:
    // F1 shows the window's help topic; Esc closes it.
    void keyPressEvent(QKeyEvent *event) override;

  private:
    QImage m_code;
    QString m_text;
    QLabel *m_picture;
    QLabel *m_caption;
    QPushButton *m_copy;
};

} // namespace pantrio

#include "forms/phone/frmQrCode.h"

#include "uibase/HelpViewer.h"

#include "data/text/Plural.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pantrio
{

frmQrCode::frmQrCode()
    : m_picture(new QLabel), m_caption(new QLabel),
      m_copy(new QPushButton(QStringLiteral("&Copy as Text")))
{
    setObjectName(QStringLiteral("frmQrCode"));
    setWindowTitle(QStringLiteral("Shopping List as QR Code"));
    m_picture->setObjectName(QStringLiteral("picQrCode"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setAccessibleName(QStringLiteral("QR code of the shopping list"));
    m_caption->setObjectName(QStringLiteral("lblQrCaption"));
    m_caption->setWordWrap(true);
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setAlignment(Qt::AlignCenter);
    m_copy->setObjectName(QStringLiteral("cmdCopyText"));
    auto *close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->addWidget(m_picture, 1);
    layout->addWidget(m_caption);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_copy);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    setCentralWidget(client);
    // White around the code whatever the desktop's colours: readers need it.
    m_picture->setAutoFillBackground(true);
    QPalette white = m_picture->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_picture->setPalette(white);
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_text); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void frmQrCode::setCode(const QImage &code, const QString &text, int lines)
{
    m_code = code;
    m_text = text;
    m_picture->setPixmap(QPixmap::fromImage(code));
    m_picture->setMinimumSize(code.size());
    // What the code holds, read out: the list itself.
    m_picture->setAccessibleDescription(text);
    m_caption->setText(plural(QT_TRANSLATE_N_NOOP("Pantrio",
                                                  "This code holds the shopping list's %n line(s) "
                                                  "as text. Scan it with the phone's camera."),
                              lines));
    adjustSize();
}

void frmQrCode::keyPressEvent(QKeyEvent *event)
{
    if (!HelpViewer::windowKey(this, event, 52, true))
        QMainWindow::keyPressEvent(event);
}

} // namespace pantrio

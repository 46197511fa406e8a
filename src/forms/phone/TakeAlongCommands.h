#pragma once

class QWidget;

namespace pantrio
{

class DataControl;
class DEVendora;
class frmQrCode;

// The File menu's commands that hand the shopping list to a phone: a page for
// its browser, a QR code on the screen, plain text on the clipboard. Each one
// first stores a quantity still being typed in the grid (list), and says so
// when the list is empty.
namespace TakeAlongCommands
{

void exportForPhone(QWidget *parent, DataControl *list, DEVendora &de);
void showQrCode(QWidget *parent, DataControl *list, DEVendora &de);
void copyAsText(QWidget *parent, DataControl *list, DEVendora &de);

// The QR window, while it is open (for tests).
frmQrCode *qrWindow();

} // namespace TakeAlongCommands
} // namespace pantrio

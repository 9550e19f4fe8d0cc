#pragma once

#include <QWidget>

// The small "Scanning for serial ports, please wait..." box shown over the main window while
// a port scan runs.
class ScanWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ScanWindow(QWidget *owner);

    // Shows the box centred over ownerFrame.
    void showOver(const QRect &ownerFrame);
    // Hides the box and hands the focus back to the window the scan was run for.
    void finish();
};

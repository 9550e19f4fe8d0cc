#pragma once

#include <QToolButton>

// The button in a log pane's corner that says new lines came in below the view, and goes there.
class NewLinesHint : public QToolButton
{
    Q_OBJECT
public:
    explicit NewLinesHint(QWidget *view);

    // Puts the button in the bottom right corner of a view of this size.
    void place(const QSize &view);
};

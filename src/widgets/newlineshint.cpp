#include "widgets/newlineshint.h"

#include "widgets/logrowpainter.h"

NewLinesHint::NewLinesHint(QWidget *view) : QToolButton(view)
{
    setObjectName(QStringLiteral("newlinesbelow"));
    setText(tr("\u2193 New lines below"));
    setToolTip(tr("Go to the newest line"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    hide();
}

void NewLinesHint::place(const QSize &view)
{
    // As far from the corner as the text from the pane's edge.
    constexpr int kMargin = LogRowPainter::kMargin;
    const QSize hint = sizeHint();
    setGeometry(view.width() - hint.width() - kMargin, view.height() - hint.height() - kMargin,
                hint.width(), hint.height());
}

#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The find row of a log pane: the text to look for, previous and next, and whether the last
// search found it. Enter finds the next match, Shift+Enter the previous one, Escape closes it.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    QString text() const;
    // Shows the row with its field focused, starting from text when one is given.
    void open(const QString &text = QString());
    // Where the last search's match stands among all matches: "3 of 12", or "No match" when
    // there are none.
    void showStanding(int number, int count);
    // Hides the row (Escape, its close button).
    void dismiss();

Q_SIGNALS:
    void findRequested(bool backward);
    void textChanged();
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_field = nullptr;
    QLabel *m_state = nullptr;
};

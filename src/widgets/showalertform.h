#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The modal alert window: a read-only message, "OK" and "Cancel", and the hidden answer.
class ShowAlertForm : public QDialog
{
    Q_OBJECT
public:
    explicit ShowAlertForm(QWidget *parent = nullptr);

    void setMessage(const QString &text, Qt::Alignment alignment, double fontSize);
    QString messageText() const;
    bool answer() const;

    // 0 answers OK, 1 answers Cancel, any other index keeps the answer; then the window closes.
    void exitalert(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_message = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QRadioButton *m_respond = nullptr;
};

#pragma once

#include <QDialog>

#include <functional>

// The question before unsaved work is dropped, in the alert's look: Save, Discard or Cancel.
class SaveChangesForm : public QDialog
{
    Q_OBJECT
public:
    enum class Choice { Save, Discard, Cancel };

    explicit SaveChangesForm(const QString &message, QWidget *parent = nullptr);

    // Shows the question modally over parent; the close box and shutdown count as Cancel.
    static Choice ask(const QString &title, const QString &message, QWidget *parent);
    // Answers an open question with Cancel, so that closing the program never waits for a person.
    static void cancelOpenQuestion();

    // Test seam: when set, the responder answers instead of a person.
    using Responder = std::function<Choice(const QString &message)>;
    static void setResponder(Responder responder);

    Choice choice() const { return m_choice; }

private:
    Choice m_choice = Choice::Cancel;
};

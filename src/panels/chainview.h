#pragma once

#include <QWidget>

#include <memory>

class ChainStateTracker;
class ChainStrip;
class Workbench;

// The chain under the tabs: one digit per module of the chain length, as the frames written to
// the open port left it, built-in characters and user-font patterns alike.
class ChainView : public QWidget
{
    Q_OBJECT
public:
    explicit ChainView(Workbench &workbench, QWidget *parent = nullptr);
    ~ChainView() override;

    ChainStrip *strip() const { return m_strip; }
    // Draws the chain again (a frame went out, the chain length or the port changed).
    void refresh();

private:
    void portChanged(bool open);

    Workbench &m_workbench;
    std::unique_ptr<ChainStateTracker> m_tracker;
    ChainStrip *m_strip = nullptr;
};

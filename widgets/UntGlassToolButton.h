#pragma once
// A tool button drawn to match the glass tool bar: flat until the mouse is over it, a light
// glass face on hover, a deeper one while pressed or checked. A framed button (the dialog
// buttons on the information bar) always shows its face.

#include <QToolButton>

class QEnterEvent;

enum class TGlassButtonFace { gbfNone, gbfNormal, gbfHover, gbfPressed, gbfChecked };

class TGlassToolButton : public QToolButton {
    Q_OBJECT

public:
    explicit TGlassToolButton(QWidget* parent = nullptr);

    bool framed() const { return fFramed; }
    void setFramed(bool value);
    bool hovered() const { return fHovered; }
    // The face the button's current state shows.
    TGlassButtonFace face() const;
    QString version() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fFramed = false;
    bool fHovered = false;
};

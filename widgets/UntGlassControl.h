#pragma once
// Base of the windowed glass controls: tracks the left button, repaints on the state changes
// users see (press, focus, enabled, text, and optionally hover) and reports mouse entry and exit.

#include <QString>
#include <QWidget>

class QEnterEvent;
class QImage;

// The platform's major version (-1 where it has none).
int platformMajorVersion();

// Gives a new control the set's font: "Segoe UI" 9 pt on Windows from major version 6 on;
// elsewhere the application's font stays.
void applyGlassFont(QWidget* widget, int majorVersion);

class TGlassControl : public QWidget {
    Q_OBJECT

public:
    explicit TGlassControl(QWidget* parent = nullptr);

    bool leftButtonPressed() const { return fLeftButtonPressed; }
    bool invalidateOnMouseEvents() const { return fInvalidateOnMouseEvents; }
    void setInvalidateOnMouseEvents(bool value) { fInvalidateOnMouseEvents = value; }
    int windowsVersion() const { return fWindowsVersion; }
    QString version() const;

    // The control's text; a change repaints.
    QString caption() const { return fCaption; }
    void setCaption(const QString& value);

signals:
    // Emitted after the control's own reaction to the mouse entering or leaving.
    void mouseEnter();
    void mouseLeave();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    // Paints a picture built off screen in one piece.
    void paintImage(const QImage& image);

private:
    bool fLeftButtonPressed = false;
    bool fInvalidateOnMouseEvents = true;
    int fWindowsVersion;
    QString fCaption;
};

// A windowed control that paints what its parent shows beneath it first, so that it can blend
// with it.
class TGlassTransparentControl : public TGlassControl {
    Q_OBJECT

public:
    explicit TGlassTransparentControl(QWidget* parent = nullptr);

    // What the parent paints beneath this control (its background and its own painting, without
    // its other children), at the given device pixel ratio. Without a parent, the control's own
    // background colour.
    QImage backgroundImage(qreal devicePixelRatio) const;
};

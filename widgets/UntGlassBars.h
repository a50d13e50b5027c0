#pragma once
// The light blue tool bar strip and the pale information bar strip; both hold child controls.
// In a layout they expand horizontally at a fixed height; in a parent without a layout they keep
// to its top (tool bar) or bottom (information bar) edge across its whole width.

#include "widgets/UntGlassControl.h"

#include <QImage>

// Keeps a bar on one edge of a parent that has no layout of its own.
class TGlassEdgeBar : public TGlassControl {
    Q_OBJECT

public:
    TGlassEdgeBar(QWidget* parent, Qt::Edge edge, int height);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void followParent();
    void align();

    Qt::Edge fEdge;
    QWidget* fWatched = nullptr;
};

class TGlassToolBar : public TGlassEdgeBar {
    Q_OBJECT

public:
    explicit TGlassToolBar(QWidget* parent = nullptr);

    bool showTopBorder() const { return fShowTopBorder; }
    void setShowTopBorder(bool value);

    // The picture at the given device pixel ratio, drawn in device pixels.
    QImage renderImage(qreal devicePixelRatio) const;

    QSize sizeHint() const override { return {300, 31}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool fShowTopBorder = false;
};

class TGlassInformationBar : public TGlassEdgeBar {
    Q_OBJECT

public:
    explicit TGlassInformationBar(QWidget* parent = nullptr);

    // The picture at the given device pixel ratio, drawn in device pixels.
    QImage renderImage(qreal devicePixelRatio) const;

    QSize sizeHint() const override { return {300, 53}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Draws every glass control in its states into one PNG, so the whole set can be looked at at
// once: widgets_gallery [output.png] (default widgets-gallery.png in the working folder).
// Run with QT_SCALE_FACTOR=2 for the high-DPI picture. Exits non-zero when the picture could not
// be written or reads back empty.

#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassBars.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSet>
#include <QVBoxLayout>

#include <cstdio>

namespace {

void hover(QWidget* widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

QLabel* heading(const QString& text)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A parent with a checker pattern, to show corners and opacity blending into it.
class TCheckerBoard : public QWidget {
protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QPainter painter(this);
        for (int y = 0; y < height(); y += 8) {
            for (int x = 0; x < width(); x += 8) {
                painter.fillRect(x, y, 8, 8, ((x + y) / 8) % 2 ? QColor(255, 200, 40) : QColor(40, 40, 40));
            }
        }
    }
};

TGlassProgressBar* bar(int w, int h, int position, QColor color = QColor(0, 255, 0))
{
    auto* b = new TGlassProgressBar;
    b->setFixedSize(w, h);
    b->setColor(color);
    b->setPosition(position);
    return b;
}

QWidget* progressSection()
{
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    int row = 0;
    auto add = [&](const QString& text, QWidget* w) {
        grid->addWidget(new QLabel(text), row, 0);
        grid->addWidget(w, row++, 1, Qt::AlignLeft);
    };
    for (int p : {0, 35, 70, 100}) {
        add(QStringLiteral("lime, 9 high, %1").arg(p), bar(200, 9, p));
    }
    add(QStringLiteral("drive bar, red above 89"), bar(200, 17, 92, QColor(255, 0, 0)));
    auto* text = bar(200, 17, 63);
    text->setPercentage(true);
    text->setShowPosText(true);
    add(QStringLiteral("percentage text"), text);
    auto* prefixed = bar(200, 17, 42);
    prefixed->setPosTextPrefix(QStringLiteral("Pos "));
    prefixed->setShowPosText(true);
    add(QStringLiteral("position text, prefix"), prefixed);
    auto* alt = bar(200, 17, 50);
    alt->setAltMode(true);
    add(QStringLiteral("alt mode (no track)"), alt);
    auto* special = bar(200, 17, 50);
    special->setSpecialMode(true);
    add(QStringLiteral("special mode"), special);
    auto* square = bar(200, 17, 50, QColor(0, 120, 215));
    square->setRounded(false);
    add(QStringLiteral("not rounded, blue"), square);
    for (int phase : {20, 70, 125}) {
        auto* m = bar(200, 17, 0);
        m->setMarqueeSpeed(0); // frozen: the picture shows one phase
        m->setMarquee(true);
        for (int i = 0; i < phase; ++i) {
            m->marqueeStep();
        }
        add(QStringLiteral("marquee, phase %1").arg(phase), m);
    }
    auto* vertical = new QWidget;
    auto* vl = new QHBoxLayout(vertical);
    vl->setContentsMargins(0, 0, 0, 0);
    for (int p : {0, 30, 65, 100}) {
        auto* v = bar(17, 80, p, p > 89 ? QColor(255, 0, 0) : QColor(0, 255, 0));
        v->setOrientation(TGPBOrientation::gpbVertical);
        vl->addWidget(v);
    }
    auto* vm = bar(17, 80, 0);
    vm->setOrientation(TGPBOrientation::gpbVertical);
    vm->setMarqueeSpeed(0);
    vm->setMarquee(true);
    for (int i = 0; i < 60; ++i) {
        vm->marqueeStep();
    }
    vl->addWidget(vm);
    add(QStringLiteral("vertical 0/30/65/100, marquee"), vertical);
    return box;
}

TGlassPanel* panel(const QString& caption)
{
    auto* p = new TGlassPanel;
    p->setFixedSize(150, 56);
    p->setCaption(caption);
    return p;
}

QWidget* panelSection()
{
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    const std::pair<TGlassPanelStyle, const char*> styles[] = {
        {TGlassPanelStyle::wpsNavy, "wpsNavy"},
        {TGlassPanelStyle::wpsDarkGrey, "wpsDarkGrey"},
        {TGlassPanelStyle::wpsBlue, "wpsBlue"},
        {TGlassPanelStyle::wpsBlack, "wpsBlack"},
        {TGlassPanelStyle::wpsLightBlack, "wpsLightBlack"},
        {TGlassPanelStyle::wpsSilver, "wpsSilver"},
        {TGlassPanelStyle::wpsWinCalc, "wpsWinCalc"},
        {TGlassPanelStyle::wpsGreen, "wpsGreen"},
    };
    int i = 0;
    for (const auto& [style, name] : styles) {
        auto* p = panel(QString::fromLatin1(name));
        p->setStyle(style);
        if (style != TGlassPanelStyle::wpsWinCalc && style != TGlassPanelStyle::wpsSilver &&
            style != TGlassPanelStyle::wpsBlue) {
            QPalette pal = p->palette();
            pal.setColor(QPalette::WindowText, Qt::white);
            p->setPalette(pal);
        }
        grid->addWidget(p, i / 4, i % 4);
        ++i;
    }
    auto* newPanel = panel(QStringLiteral("new panel"));
    grid->addWidget(newPanel, 2, 0);
    auto* across = panel(QStringLiteral("left to right"));
    across->setVerticalGradient(false);
    grid->addWidget(across, 2, 1);
    auto* solid = panel(QStringLiteral("solid, inner top+left"));
    solid->setFillStyle(TGlassPanelFillStyle::pfsSolid);
    solid->setColorA(QColor(255, 236, 200));
    solid->setInnerBorders(TGlassPanelBorders(TGlassPanelBorder::wpbTop) | TGlassPanelBorder::wpbLeft);
    grid->addWidget(solid, 2, 2);
    auto* doubleAcross = panel(QStringLiteral("double, across, no border"));
    doubleAcross->setStyle(TGlassPanelStyle::wpsGreen);
    doubleAcross->setVerticalGradient(false);
    doubleAcross->setOuterBorders({});
    doubleAcross->setInnerBorders({});
    grid->addWidget(doubleAcross, 2, 3);

    // Over a checker board: softened corners, half opacity, and a disabled caption.
    auto* board = new TCheckerBoard;
    board->setFixedSize(640, 76);
    const int opacities[] = {255, 128, 40};
    for (int k = 0; k < 3; ++k) {
        auto* p = new TGlassPanel(board);
        p->setGeometry(10 + k * 160, 10, 150, 56);
        p->setOpacity(opacities[k]);
        p->setCaption(QStringLiteral("opacity %1").arg(opacities[k]));
    }
    auto* disabled = new TGlassPanel(board);
    disabled->setGeometry(490, 10, 140, 56);
    disabled->setCaption(QStringLiteral("a caption that is much too long"));
    disabled->setEnabled(false);
    grid->addWidget(board, 3, 0, 1, 4);
    return box;
}

TGlassToolButton* toolButton(const QString& text, QWidget* parent)
{
    auto* b = new TGlassToolButton(parent);
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFixedSize(70, 25);
    return b;
}

QWidget* barSection()
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(6);
    for (bool topBorder : {false, true}) {
        auto* toolBar = new TGlassToolBar;
        toolBar->setShowTopBorder(topBorder);
        auto* row = new QHBoxLayout(toolBar);
        row->setContentsMargins(4, 2, 4, 4);
        row->addWidget(toolButton(QStringLiteral("Record"), toolBar));
        auto* hovered = toolButton(QStringLiteral("Hover"), toolBar);
        hover(hovered);
        row->addWidget(hovered);
        auto* pressed = toolButton(QStringLiteral("Pressed"), toolBar);
        pressed->setDown(true);
        row->addWidget(pressed);
        auto* checked = toolButton(QStringLiteral("Checked"), toolBar);
        checked->setCheckable(true);
        checked->setChecked(true);
        row->addWidget(checked);
        auto* disabled = toolButton(QStringLiteral("Disabled"), toolBar);
        disabled->setEnabled(false);
        row->addWidget(disabled);
        row->addStretch();
        layout->addWidget(new QLabel(topBorder
                                         ? QStringLiteral("tool bar with top border")
                                         : QStringLiteral("tool bar (record, hover, pressed, checked, disabled)")));
        layout->addWidget(toolBar);
    }
    layout->addWidget(new QLabel(QStringLiteral("information bar with dialog buttons (Add hovered)")));
    auto* info = new TGlassInformationBar;
    auto* row = new QHBoxLayout(info);
    row->addStretch();
    auto* add = toolButton(QStringLiteral("Add"), info);
    add->setFramed(true);
    hover(add);
    row->addWidget(add);
    auto* cancel = toolButton(QStringLiteral("Cancel"), info);
    cancel->setFramed(true);
    row->addWidget(cancel);
    layout->addWidget(info);

    auto* labels = new QWidget;
    auto* lrow = new QHBoxLayout(labels);
    lrow->addWidget(new TGlassActiveLabel(QStringLiteral("Hover label, mouse out")));
    auto* in = new TGlassActiveLabel(QStringLiteral("Hover label, mouse over"));
    hover(in);
    lrow->addWidget(in);
    lrow->addStretch();
    layout->addWidget(labels);
    return box;
}

// A PNG with real content: the right size and more than a handful of colours.
bool plausible(const QString& path, QSize expected)
{
    const QImage image(path);
    if (image.isNull() || image.size() != expected) {
        return false;
    }
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours.size() > 200;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("widgets-gallery.png");

    QWidget window;
    window.setAutoFillBackground(true);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, Qt::white);
    window.setPalette(pal);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(heading(QStringLiteral("TGlassProgressBar")));
    layout->addWidget(progressSection());
    layout->addWidget(heading(QStringLiteral("TGlassPanel")));
    layout->addWidget(panelSection());
    layout->addWidget(
        heading(QStringLiteral("TGlassToolBar, TGlassInformationBar, TGlassToolButton, TGlassActiveLabel")));
    layout->addWidget(barSection());
    window.show();
    QApplication::processEvents();

    const QPixmap picture = window.grab();
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "widgets_gallery: cannot write %s\n", qPrintable(path));
        return 1;
    }
    if (!plausible(path, picture.size())) {
        std::fprintf(stderr, "widgets_gallery: %s reads back empty or wrong\n", qPrintable(path));
        return 1;
    }
    std::printf("widgets_gallery: wrote %s (%dx%d device pixels)\n", qPrintable(path), picture.width(),
                picture.height());
    return 0;
}

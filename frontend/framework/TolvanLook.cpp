#include "TolvanLook.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace tolvan {

namespace {

constexpr char kSkinProperty[] = "skin";

// The program's accent, a quiet blue; the stop look is a muted red so a
// running recovery is unmistakable without shouting.
const char kStandardSheet[] = R"(
QPushButton[skin="startbutton"], QPushButton[skin="stopbutton"] {
    color: white; font-weight: bold; border-radius: 4px; padding: 4px 14px;
}
QPushButton[skin="startbutton"] {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a88cf, stop:1 #2f6bb3);
    border: 1px solid #275a98;
}
QPushButton[skin="startbutton"]:hover { background-color: #3f7cc4; }
QPushButton[skin="startbutton"]:pressed { background-color: #28609f; }
QPushButton[skin="startbutton"]:focus { border: 1px solid #16375e; }
QPushButton[skin="startbutton"]:disabled {
    background-color: #c3d3e6; border: 1px solid #adc0d6; color: #eef3f9;
}
QPushButton[skin="stopbutton"] {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #d2574c, stop:1 #b23b31);
    border: 1px solid #8f2c24;
}
QPushButton[skin="stopbutton"]:hover { background-color: #c24a40; }
QPushButton[skin="stopbutton"]:pressed { background-color: #9c3229; }
QPushButton[skin="pagebutton"] {
    color: #eaf2fb; background: transparent; border: 1px solid transparent;
    border-top-left-radius: 5px; border-top-right-radius: 5px; padding: 4px 10px;
    font-weight: bold;
}
QPushButton[skin="pagebutton"]:hover { background-color: rgba(255, 255, 255, 40); }
QPushButton[skin="pagebutton"]:focus { border: 1px dotted #eaf2fb; }
QPushButton[skin="pagebutton"]:checked {
    color: #1f4f86; background-color: rgb(238, 247, 255); border: 1px solid rgb(238, 247, 255);
}
QPushButton[skin="subpagebutton"] {
    color: #2b4f78; background-color: #dde9f6; border: 1px solid #b9cde3;
    border-radius: 4px; padding: 3px 10px;
}
QPushButton[skin="subpagebutton"]:hover { background-color: #d0e1f3; }
QPushButton[skin="subpagebutton"]:checked {
    color: white; background-color: #3a77bd; border: 1px solid #2c5f9a; font-weight: bold;
}
QLabel[skin="link"] { color: #1f5fa8; }
)";

}  // namespace

QColor WindowColor() { return QColor(238, 247, 255); }

QFont SansFont(qreal pointSize) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

QFont SansPixelFont(int pixelSize) {
    QFont font = SansFont(9);
    font.setPixelSize(pixelSize);
    return font;
}

void TFormLook::Apply(QWidget* window) const {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->setFont(font);
}

TControlLook TControlLook::Standard() {
    TControlLook look;
    look.styleSheet = QString::fromLatin1(kStandardSheet);
    return look;
}

void TControlLook::Apply(QWidget* window) const { window->setStyleSheet(styleSheet); }

THintComponent THintComponent::Standard() {
    THintComponent hints;
    hints.palette = QToolTip::palette();
    hints.palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 240));
    hints.palette.setColor(QPalette::ToolTipText, QColor(32, 40, 52));
    return hints;
}

void THintComponent::Apply() const {
    QToolTip::setPalette(palette);
    QToolTip::setFont(font);
}

void SetSkinElement(QWidget* control, const char* element) {
    if (control->property(kSkinProperty).toString() == QLatin1String(element)) return;
    control->setProperty(kSkinProperty, QString::fromLatin1(element));
    // A style sheet reads dynamic properties only when it polishes.
    control->style()->unpolish(control);
    control->style()->polish(control);
    control->update();
}

QString SkinElement(const QWidget* control) { return control->property(kSkinProperty).toString(); }

void ApplyApplicationLook() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, WindowColor());
    palette.setColor(QPalette::Button, QColor(228, 238, 249));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(245, 249, 253));
    palette.setColor(QPalette::Highlight, QColor(58, 119, 189));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(31, 95, 168));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Dark, QColor(160, 178, 199));
    palette.setColor(QPalette::Mid, QColor(190, 205, 222));
    QApplication::setPalette(palette);
    QApplication::setFont(SansFont(9));
}

}  // namespace tolvan

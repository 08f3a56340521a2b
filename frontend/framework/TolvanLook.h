// The program's look: one calm style for every window, and the three
// appearance objects a framework window is built with (form look, control
// look, hint component). Each of them may be absent; a window without them
// keeps the application's plain look and works the same.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QWidget;

namespace tolvan {

// Skin elements a control can ask the control look for, by name.
inline constexpr char kSkinStartButton[] = "startbutton";
inline constexpr char kSkinStopButton[] = "stopbutton";
inline constexpr char kSkinSmallButton[] = "smallbutton";
inline constexpr char kSkinPageButton[] = "pagebutton";
inline constexpr char kSkinSubPageButton[] = "subpagebutton";
inline constexpr char kSkinLink[] = "link";

// The background of every framework window: RGB (238, 247, 255).
QColor WindowColor();

// The platform's sans-serif family at a point size; it stands in for the
// design's "MS Sans Serif" and "Arial".
QFont SansFont(qreal pointSize);
// The same family sized in pixels.
QFont SansPixelFont(int pixelSize);

// Background colour and font of a window.
class TFormLook {
public:
    QColor background = WindowColor();
    QFont font = SansFont(9);

    // Gives window this background and font; its children inherit both.
    void Apply(QWidget* window) const;
};

// How controls are drawn beyond the style: a style sheet that draws the
// skin elements (SetSkinElement) of a window's controls.
class TControlLook {
public:
    QString styleSheet;

    // The program's own elements: the Start button's two looks, the page
    // buttons of the header, small picture buttons and link labels.
    static TControlLook Standard();
    void Apply(QWidget* window) const;
};

// The look of the hints (tool tips). Qt has one tool-tip look per
// program, so applying the component sets it for all windows.
class THintComponent {
public:
    QPalette palette;
    QFont font = SansFont(9);

    static THintComponent Standard();
    void Apply() const;
};

// Asks the control look to draw control as element; without a control
// look the name is kept and changes nothing.
void SetSkinElement(QWidget* control, const char* element);
QString SkinElement(const QWidget* control);

// Qt's Fusion style with a palette around WindowColor(), for the whole
// program. Call once, after the application object exists.
void ApplyApplicationLook();

}  // namespace tolvan

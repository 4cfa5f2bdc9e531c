#include "frm_Warn_StormeldungBase.h"

#include "ViewPointer.h"
#include "core/TextTable.h"
#include "decode/FieldHelpers.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"

#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QValidator>

#include <algorithm>

namespace qvr {

namespace {

using S = HistorySchema;

constexpr int kCaptionId = 13000;
constexpr int kCloseId = 13010;
constexpr int kFirstLabelId = 13220;     // Label1(i) = 13220 + 10 i for i = 0 to 25
constexpr int kChannelCaptionId = 13240; // "Kanal"
constexpr int kNumberCaptionId = 13770;  // "Nr." (digital input)
constexpr int kDeviceFailureId = 13480;
constexpr int kVirtualDeviceCaptionId = 13790;
constexpr int kBuzzerRepeatCaptionId = 13810;
constexpr int kAlarmTypeCaptionId = 31060;
constexpr int kOutsideListId = 13920;

// Lists by their index in Combo1.
enum List {
    Channel = 0, ExternalAddress = 1, InternalAddress = 2, InputType = 3, InputMode = 4,
    ImpulseMode = 5, Buzzer = 6, RelayA = 7, RelayAMode = 8, RelayB = 9, RelayBMode = 10,
    RelayC = 11, RelayCMode = 12, Lamp = 13, KeyLed = 14, DisplayText = 15,
    MeasuredValue = 16, DateTime = 17, AlarmAddress = 18, VirtualDevice = 19,
    BuzzerRepeat = 20, AlarmType = 21,
};

// Entries of list 3, the stored `Eingang` codes.
enum InputType { ExternalBus = 0, InternalBus = 1, DigitalInput = 2, EibInput = 3 };

// Characters a display line keeps in front of a value laid over its right end.
constexpr int kKeepMeasuredValue = 12;
constexpr int kKeepDateTime = 6;
constexpr int kKeepAlarmAddress = 10;

// A display line's maximum length as the user types: no text may grow beyond the
// maximum, but a line that the fill gave its full stored text keeps it (the fill writes
// past a reduced maximum) and may still be shortened.
class DisplayLineValidator : public QValidator
{
public:
    explicit DisplayLineValidator(QLineEdit *line)
        : QValidator(line)
    {
        connect(line, &QLineEdit::textChanged, this,
                [this](const QString &text) { m_lastLength = int(text.size()); });
    }

    void setMaximum(int maximum) { m_maximum = maximum; }

    State validate(QString &input, int &) const override
    {
        return input.size() <= m_maximum || input.size() <= m_lastLength ? Acceptable : Invalid;
    }

private:
    int m_maximum = frm_Warn_StormeldungBase::LineLength;
    int m_lastLength = 0;
};

QString label(int id) { return QStringLiteral("Label1(%1)").arg(id); }

} // namespace

frm_Warn_StormeldungBase::frm_Warn_StormeldungBase(const Design &design, StoreState &store,
                                                   const ReadoutState &readout,
                                                   const Texts &texts, QWidget *parent)
    : QDialog(parent)
    , m_design(design)
    , m_store(store)
    , m_readout(readout)
    , m_texts(texts)
{
    setObjectName(QString::fromLatin1(design.windowName));
    setModal(true);
    buildControls();
    buildLists();
    applyCaptions();
    QFont bold = font();
    bold.setBold(true);
    for (int i : {0, 4, 14})
        m_label[size_t(i)]->setFont(bold);
    layoutControls();
    applyDeviceClassVisibility();
}

frm_Warn_StormeldungBase::~frm_Warn_StormeldungBase() = default;

void frm_Warn_StormeldungBase::buildControls()
{
    m_datensatzfenster = new QFrame(this);
    m_datensatzfenster->setObjectName(QStringLiteral("Datensatzfenster"));
    m_datensatzfenster->setFrameShape(QFrame::Box);
    for (int f = 1; f <= 7; ++f) {
        auto *frame = new QFrame(m_datensatzfenster);
        frame->setObjectName(QStringLiteral("Frame%1").arg(f));
        frame->setFrameShape(QFrame::NoFrame);
        m_frame[size_t(f)] = frame;
    }

    // Which group each list and caption belongs to; the rest sit in the outer frame.
    auto listParent = [this](int list) -> QWidget * {
        switch (list) {
        case ExternalAddress:
        case InternalAddress:
            return m_frame[1];
        case InputMode:
        case ImpulseMode:
            return m_frame[7];
        case RelayAMode:
            return m_frame[2];
        case RelayBMode:
            return m_frame[3];
        case RelayCMode:
            return m_frame[4];
        case MeasuredValue:
        case DateTime:
        case AlarmAddress:
            return m_frame[6];
        default:
            return m_datensatzfenster;
        }
    };
    auto labelParent = [this](int i) -> QWidget * {
        if (i == 1 || i == 29)
            return m_frame[1];
        if (i == 3)
            return m_frame[7];
        if (i == 7 || i == 9 || i == 11)
            return m_frame[size_t(2 + (i - 7) / 2)];
        if (i >= 15 && i <= 17)
            return m_frame[6];
        if (i >= 18 && i <= 25)
            return m_frame[5];
        return m_datensatzfenster;
    };

    for (int i = 0; i < ListCount; ++i) {
        auto *combo = new QComboBox(listParent(i));
        combo->setObjectName(QStringLiteral("Combo1(%1)").arg(i));
        combo->setMaxVisibleItems(16);
        // A stored value without an entry is shown as the placeholder: in the normal
        // colour, as grey would read as a disabled list.
        QPalette palette = combo->palette();
        palette.setColor(QPalette::PlaceholderText, palette.color(QPalette::ButtonText));
        combo->setPalette(palette);
        connect(combo, &QComboBox::activated, this, [this, i] { Combo1_Click(i); });
        m_combo[size_t(i)] = combo;
    }
    const bool internalCaption = m_design.internalAddressCaptionId != 0;
    const int labelCount = internalCaption ? 30 : 29;
    for (int i = 0; i < labelCount; ++i) {
        auto *l = new QLabel(labelParent(i));
        l->setObjectName(label(i));
        m_label[size_t(i)] = l;
    }

    // The device's display: six lines of 20 characters in a fixed-pitch font, the three
    // value boxes in the same font so their characters fall on the line's columns.
    // The size is set, not inherited, so the layout measures what the lines draw with.
    QFont lcd(QStringLiteral("Courier New"), 10);
    lcd.setStyleHint(QFont::TypeWriter);
    lcd.setFixedPitch(true);

    QFrame *display = m_frame[5];
    m_hintergrund = new QFrame(display);
    m_hintergrund->setObjectName(QStringLiteral("Hintergrund"));
    m_hintergrund->setFrameShape(QFrame::Panel);
    m_hintergrund->setFrameShadow(QFrame::Sunken);
    m_hintergrund->setAutoFillBackground(true);
    QPalette lcdPalette = m_hintergrund->palette();
    lcdPalette.setColor(QPalette::Window, QColor(0x9d, 0xbf, 0x8e));
    m_hintergrund->setPalette(lcdPalette);

    for (int j = 0; j < LineCount; ++j) {
        auto *line = new QLineEdit(display);
        line->setObjectName(QStringLiteral("Text1(%1)").arg(j));
        line->setFont(lcd);
        auto *validator = new DisplayLineValidator(line);
        line->setValidator(validator);
        m_line[size_t(j)] = line;
        m_lineValidator[size_t(j)] = validator;
    }
    auto makeBox = [&](const char *name, const char *placeholder) {
        auto *box = new QLineEdit(display);
        box->setObjectName(QString::fromUtf8(name));
        box->setFont(lcd);
        box->setText(QString::fromLatin1(placeholder));
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
        box->hide();
        return box;
    };
    m_messwert = makeBox("Meßwert", "XXXXX XX");
    m_datumUhrzeit = makeBox("Datum_Uhrzeit", "XX.XX.XX XX:XX");
    m_alarmadresse = makeBox("Alarmadresse", "XXX XXX/XX");
    m_alarmadresse->installEventFilter(this);

    m_command1 = new QPushButton(this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    connect(m_command1, &QPushButton::clicked, this, &frm_Warn_StormeldungBase::Command1_Click);
}

void frm_Warn_StormeldungBase::layoutControls()
{
    const bool internalCaption = m_design.internalAddressCaptionId != 0;
    const int charWidth = m_line[0]->fontMetrics().horizontalAdvance(QLatin1Char('X'));
    const int frameWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int padding = 2 * (frameWidth + 2) + 4;
    QFrame *display = m_frame[5];

    // Positions: three columns (input, output, display) of rows of equal height. Each
    // column is as wide as the longest caption or list entry of its language needs.
    const int rowHeight = std::max(m_combo[0]->sizeHint().height(), m_line[0]->sizeHint().height());
    const int step = rowHeight + 4;
    auto place = [&](QWidget *w, int x, int row, int width, int rows = 1) {
        w->setGeometry(x, 8 + row * step, width, rows * step - 4);
    };
    auto placeIn = [&](QWidget *w, int x, int row, int width) {
        w->setGeometry(x, row * step, width, rowHeight);
    };
    auto combo = [this](int i) { return m_combo[size_t(i)]; };
    auto lab = [this](int i) { return m_label[size_t(i)]; };
    // A list's size hint measures its entries' ink, not their advance: a few pixels more
    // keep the last letter whole.
    auto widest = [](int least, std::initializer_list<QWidget *> widgets, int extra = 0) {
        for (QWidget *w : widgets)
            least = std::max(least, w->sizeHint().width() + extra +
                                        (qobject_cast<QComboBox *>(w) ? 4 : 0));
        return least;
    };

    // Input column: whole rows and half rows side by side.
    const int ax = 10;
    int half = widest(100, {lab(1), combo(ExternalAddress), combo(InternalAddress), lab(2),
                            combo(Channel), lab(3), combo(ImpulseMode), lab(28), combo(AlarmType)});
    if (internalCaption)
        half = widest(half, {lab(29)});
    const int aw =
        widest(std::max(210, 2 * half + 10), {lab(0), combo(InputType), combo(InputMode)});
    half = (aw - 10) / 2;
    const int hx = aw - half;
    place(lab(0), ax, 0, aw);
    place(combo(InputType), ax, 1, aw);
    place(m_frame[1], ax, 2, aw, 2);
    placeIn(lab(1), 0, 0, internalCaption ? half : aw);
    if (internalCaption)
        placeIn(lab(29), hx, 0, half);
    placeIn(combo(ExternalAddress), 0, 1, half);
    placeIn(combo(InternalAddress), hx, 1, half);
    place(lab(2), ax, 4, half);
    place(combo(Channel), ax + hx, 4, half);
    place(m_frame[7], ax, 5, aw, 2);
    placeIn(lab(3), 0, 0, half);
    placeIn(combo(ImpulseMode), hx, 0, half);
    placeIn(combo(InputMode), 0, 1, aw);
    place(lab(28), ax, 7, half);
    place(combo(AlarmType), ax + hx, 7, half);

    // Output column: a caption and a list on each row; a relay's mode is indented.
    const int bx = ax + aw + 20;
    const int indent = 15;
    const int bLabel =
        widest(widest(180, {lab(5), lab(27), lab(6), lab(8), lab(10), lab(12), lab(13), lab(26)}),
               {lab(7), lab(9), lab(11)}, indent);
    const int bCombo =
        widest(150, {combo(Buzzer), combo(BuzzerRepeat), combo(RelayA), combo(RelayAMode),
                     combo(RelayB), combo(RelayBMode), combo(RelayC), combo(RelayCMode),
                     combo(Lamp), combo(KeyLed), combo(VirtualDevice)});
    const int bWidth = widest(bLabel + 5 + bCombo, {lab(4)});
    place(lab(4), bx, 0, bWidth);
    auto outputRow = [&](int labelIndex, int list, int row) {
        place(lab(labelIndex), bx, row, bLabel);
        place(combo(list), bx + bLabel + 5, row, bCombo);
    };
    outputRow(5, Buzzer, 1);
    outputRow(27, BuzzerRepeat, 2);
    const std::array<int, 3> relayLists{RelayA, RelayB, RelayC};
    for (int r = 0; r < 3; ++r) {
        const int row = 3 + 2 * r;
        outputRow(6 + 2 * r, relayLists[size_t(r)], row);
        place(m_frame[size_t(2 + r)], bx, row + 1, bLabel + 5 + bCombo);
        placeIn(lab(7 + 2 * r), indent, 0, bLabel - indent);
        placeIn(combo(relayLists[size_t(r)] + 1), bLabel + 5, 0, bCombo);
    }
    outputRow(12, Lamp, 9);
    outputRow(13, KeyLed, 10);
    outputRow(26, VirtualDevice, 11);

    // Display column.
    const int cx = bx + bWidth + 20;
    const int cLabel = widest(110, {lab(14), lab(15), lab(16), lab(17)});
    const int cCombo = widest(
        120, {combo(DisplayText), combo(MeasuredValue), combo(DateTime), combo(AlarmAddress)});
    const int lineWidth = LineLength * charWidth + padding;
    const int lineX = widest(70, {lab(19), lab(20), lab(21), lab(23), lab(24), lab(25)}, 4);
    const int cWidth =
        widest(std::max(cLabel + 5 + cCombo, lineX + lineWidth + 8), {lab(18), lab(22)});
    place(lab(14), cx, 0, cLabel);
    place(combo(DisplayText), cx + cLabel + 5, 0, cCombo);
    place(m_frame[6], cx, 1, cWidth, 3);
    for (int i = 0; i < 3; ++i) {
        placeIn(lab(15 + i), 0, i, cLabel);
        placeIn(combo(MeasuredValue + i), cLabel + 5, i, cCombo);
    }
    place(display, cx, 4, cWidth, 8);
    placeIn(lab(18), 0, 0, cWidth);
    placeIn(lab(22), 0, 4, cWidth);
    for (int j = 0; j < LineCount; ++j) {
        const int row = j < 3 ? 1 + j : 2 + j;
        placeIn(lab(j < 3 ? 19 + j : 20 + j), 0, row, lineX - 4);
        placeIn(m_line[size_t(j)], lineX, row, lineWidth);
    }
    m_hintergrund->setGeometry(lineX - 4, step - 4, lineWidth + 8, 7 * step);
    m_hintergrund->lower();
    // A value box ends where its line ends, so it covers the line's last characters.
    // Until it is placed it stands on no line.
    auto sizeBox = [&](QLineEdit *box, int chars) {
        box->setGeometry(lineX + (LineLength - chars) * charWidth, -2 * step,
                         chars * charWidth + padding, rowHeight);
    };
    sizeBox(m_messwert, LineLength - kKeepMeasuredValue);
    sizeBox(m_datumUhrzeit, LineLength - kKeepDateTime);
    sizeBox(m_alarmadresse, LineLength - kKeepAlarmAddress);

    const int innerWidth = cx + cWidth + 10;
    const int innerHeight = 8 + 12 * step + 4;
    m_datensatzfenster->setGeometry(8, 8, innerWidth, innerHeight);
    const int closeWidth = widest(110, {m_command1});
    m_command1->setGeometry(8 + innerWidth - closeWidth, 8 + innerHeight + 10, closeWidth,
                            rowHeight + 4);
    setFixedSize(innerWidth + 16, innerHeight + 10 + rowHeight + 4 + 18);
}

void frm_Warn_StormeldungBase::buildLists()
{
    auto fill = [this](int list, const QStringList &entries) {
        QComboBox *c = m_combo[size_t(list)];
        c->clear();
        c->addItems(entries);
        c->setCurrentIndex(-1);
    };
    auto text = [this](int id) { return m_texts.ResText(id); };
    auto numbers = [](QStringList entries, int from, int to) {
        for (int n = from; n <= to; ++n)
            entries << QString::number(n);
        return entries;
    };

    fill(Channel, numbers({text(kDeviceFailureId)}, 1, 12));
    m_channelFailureEntry = true;
    fill(ExternalAddress, numbers({}, 0, 99));
    fill(InternalAddress, numbers({}, 0, 255));
    fill(InputType, {text(13490), text(13500), text(13510), text(13780)});
    fill(InputMode, {text(m_design.inputModeEntryIds[0]), text(m_design.inputModeEntryIds[1])});
    fill(ImpulseMode, {text(13540), text(13550)});
    fill(Buzzer, {text(13560), text(13570), text(13580)});
    for (int list : {RelayA, RelayB, RelayC}) {
        fill(list, numbers({text(13590)}, 1, m_design.relayCount));
        fill(list + 1, {text(13600), text(13610)});
    }
    fill(Lamp, {text(13620), text(13630), text(13640)});
    fill(KeyLed, numbers({text(13650)}, 1, 80));
    fill(DisplayText, {text(13660), text(13670)});
    QStringList placements{text(13680)};
    for (int k = 0; k < LineCount; ++k)
        placements << text(13690 + 10 * k);
    for (int list : {MeasuredValue, DateTime, AlarmAddress})
        fill(list, placements);
    if (m_design.virtualDeviceEntries) {
        QStringList devices{text(13800)};
        for (int v = 1; v <= 48; ++v)
            devices << virtualDeviceText(v);
        fill(VirtualDevice, devices);
    } else {
        fill(VirtualDevice, numbers({text(13800)}, 1, 16));
    }
    QStringList minutes{text(13820)};
    for (int m = 1; m <= 30; ++m)
        minutes << QStringLiteral("%1 min").arg(m);
    fill(BuzzerRepeat, minutes);
    fill(AlarmType, {text(31050), text(31040)});
}

void frm_Warn_StormeldungBase::applyCaptions()
{
    setWindowTitle(m_texts.ResText(kCaptionId));
    for (int i = 0; i <= 25; ++i)
        m_label[size_t(i)]->setText(m_texts.ResText(kFirstLabelId + 10 * i));
    m_label[26]->setText(m_texts.ResText(kVirtualDeviceCaptionId));
    m_label[27]->setText(m_texts.ResText(kBuzzerRepeatCaptionId));
    m_label[28]->setText(m_texts.ResText(kAlarmTypeCaptionId));

    m_label[1]->setText(m_texts.ResText(m_design.externalAddressCaptionId));
    if (m_design.internalAddressCaptionId)
        m_label[29]->setText(m_texts.ResText(m_design.internalAddressCaptionId));
    QString output = m_texts.ResText(m_design.outputCaptionId);
    if (m_design.outputCaptionColon)
        output += QLatin1Char(':');
    m_label[4]->setText(output);
    for (int r = 0; r < 3; ++r) {
        QString caption = m_texts.ResText(m_design.relayCaptionIds[size_t(r)]);
        if (m_design.relayCaptionLetters)
            caption += QLatin1Char(' ') + QChar(QLatin1Char('A').unicode() + r);
        m_label[size_t(6 + 2 * r)]->setText(caption);
    }
    m_label[12]->setText(m_texts.ResText(m_design.lampCaptionId));
    m_label[13]->setText(m_texts.ResText(m_design.keyLedCaptionId));
    m_command1->setText(m_texts.ResText(kCloseId));
}

void frm_Warn_StormeldungBase::applyDeviceClassVisibility()
{
    const bool pv = m_readout.gDeviceClass == QLatin1String("PV");
    m_label[26]->setVisible(!pv);
    m_combo[VirtualDevice]->setVisible(!pv);
    m_label[28]->setVisible(pv);
    m_combo[AlarmType]->setVisible(pv);
}

QString frm_Warn_StormeldungBase::virtualDeviceText(int value) const
{
    // Twelve channels per virtual device, the devices numbered from 146.
    const int device = 146 + (value - 1) / 12;
    const int channel = (value - 1) % 12 + 1;
    return PadTo3(device) + QLatin1Char('/') + PadTo2(channel);
}

QString frm_Warn_StormeldungBase::valueText(int list, int value) const
{
    switch (list) {
    case Channel:
        // The entries are channel numbers; without the failure entry they start at 1.
        return QString::number(m_channelFailureEntry ? value : value + 1);
    case VirtualDevice:
        if (m_design.virtualDeviceEntries && value >= 1)
            return virtualDeviceText(value);
        break;
    case BuzzerRepeat:
        if (value >= 1)
            return QStringLiteral("%1 min").arg(value);
        break;
    default:
        break;
    }
    return QString::number(value);
}

void frm_Warn_StormeldungBase::selectEntry(int list, int value)
{
    QComboBox *c = m_combo[size_t(list)];
    if (value >= 0 && value < c->count()) {
        c->setPlaceholderText(QString());
        c->setToolTip(QString());
        c->setCurrentIndex(value);
    } else {
        // No entry for this value: none is selected, and the list's box shows the value
        // with a marker.
        c->setPlaceholderText(valueText(list, value) + QStringLiteral(" (!)"));
        c->setToolTip(m_texts.ResText(kOutsideListId));
        c->setCurrentIndex(-1);
    }
    Combo1_Click(list);
}

void frm_Warn_StormeldungBase::Combo1_Click(int index)
{
    if (index < 0 || index >= ListCount)
        return;
    applyChannelListRule();
    switch (index) {
    case InputType:
        applyInputTypeRule();
        break;
    case RelayA:
    case RelayB:
    case RelayC:
        // The mode of a relay means nothing while no relay is chosen.
        m_frame[size_t(2 + (index - RelayA) / 2)]->setHidden(m_combo[size_t(index)]->currentIndex() == 0);
        break;
    case DisplayText: {
        const bool off = m_combo[DisplayText]->currentIndex() == 0;
        m_frame[5]->setHidden(off);
        m_frame[6]->setHidden(off);
        break;
    }
    case MeasuredValue:
    case DateTime:
    case AlarmAddress:
        applyPlacementRule(index);
        break;
    default:
        break;
    }
}

void frm_Warn_StormeldungBase::applyChannelListRule()
{
    QComboBox *c = m_combo[Channel];
    bool failureEntry = true;
    int channels = 12;
    switch (m_combo[InputType]->currentIndex()) {
    case EibInput:
        failureEntry = false;
        channels = 16;
        break;
    case ExternalBus:
        channels = m_combo[InternalAddress]->currentIndex() == 0 ? 32 : 12;
        break;
    case InternalBus:
        break;
    case DigitalInput:
        failureEntry = false;
        channels = 32;
        break;
    default:
        return; // no input type chosen: the list stays as it is
    }

    // The channel number now selected: 0 for the failure entry, -1 for none.
    const int before = c->currentIndex();
    const int selected = before < 0 ? -1 : (m_channelFailureEntry ? before : before + 1);
    bool changed = false;
    if (m_channelFailureEntry && !failureEntry) {
        c->removeItem(0);
        changed = true;
    } else if (!m_channelFailureEntry && failureEntry) {
        c->insertItem(0, m_texts.ResText(kDeviceFailureId));
        changed = true;
    }
    m_channelFailureEntry = failureEntry;
    const int offset = failureEntry ? 1 : 0;
    for (int n = c->count() - offset + 1; n <= channels; ++n) {
        c->addItem(QString::number(n));
        changed = true;
    }
    while (c->count() - offset > channels) {
        c->removeItem(c->count() - 1);
        changed = true;
    }
    if (!changed)
        return;

    // The same entry stays selected where the new list has it; otherwise channel 1.
    int index = -1;
    if (selected == 0 && failureEntry)
        index = 0;
    else if (selected >= 1 && selected <= channels)
        index = selected - 1 + offset;
    if (index < 0)
        index = offset;
    c->setPlaceholderText(QString());
    c->setCurrentIndex(index);
}

void frm_Warn_StormeldungBase::applyInputTypeRule()
{
    const int type = m_combo[InputType]->currentIndex();
    if (type < ExternalBus || type > EibInput)
        return;
    m_label[2]->setText(m_texts.ResText(type == DigitalInput ? kNumberCaptionId : kChannelCaptionId));
    m_frame[1]->setHidden(type == DigitalInput || type == EibInput);
    if (type == ExternalBus || type == InternalBus)
        m_combo[ExternalAddress]->setHidden(type == InternalBus);
    m_frame[7]->setHidden(type != DigitalInput);
    m_combo[ImpulseMode]->setHidden(type != DigitalInput);

    const bool hides = type == DigitalInput || type == EibInput;
    for (int list : {MeasuredValue, AlarmAddress}) {
        if (hides)
            selectEntry(list, 0);
        m_combo[size_t(list)]->setEnabled(!hides);
    }
}

bool frm_Warn_StormeldungBase::inputTypeHidesValues() const
{
    const int type = m_combo[InputType]->currentIndex();
    return type == DigitalInput || type == EibInput;
}

QLineEdit *frm_Warn_StormeldungBase::boxOfList(int list) const
{
    switch (list) {
    case MeasuredValue:
        return m_messwert;
    case DateTime:
        return m_datumUhrzeit;
    default:
        return m_alarmadresse;
    }
}

void frm_Warn_StormeldungBase::applyPlacementRule(int list)
{
    QComboBox *c = m_combo[size_t(list)];
    // A digital or EIB input has no measured value or alarm address to show, whatever
    // the record says.
    if (list != DateTime && inputTypeHidesValues() && c->currentIndex() != 0) {
        c->setPlaceholderText(QString());
        c->setCurrentIndex(0);
    }

    QLineEdit *box = boxOfList(list);
    box->hide();
    for (int j = 0; j < LineCount; ++j) {
        QLineEdit *line = m_line[size_t(j)];
        if (box->y() == line->y()) {
            line->setText(line->text().left(LineLength));
            setLineMaxLength(j, LineLength);
            break;
        }
    }

    const int k = c->currentIndex();
    if (k < 1 || k > LineCount)
        return;
    QLineEdit *line = m_line[size_t(k - 1)];
    box->move(box->x(), line->y());
    box->show();
    box->raise();
    const int keep = list == MeasuredValue ? kKeepMeasuredValue
                     : list == DateTime    ? kKeepDateTime
                                           : kKeepAlarmAddress;
    line->setText(line->text().left(keep));
    if (list == AlarmAddress)
        setLineMaxLength(k - 1, kKeepAlarmAddress);
}

void frm_Warn_StormeldungBase::setLineMaxLength(int line, int length)
{
    static_cast<DisplayLineValidator *>(m_lineValidator[size_t(line)])->setMaximum(length);
}

void frm_Warn_StormeldungBase::Form_Activate()
{
    ViewPointer::restoreDefault();
    Recordset *rs = m_store.gHistoryRecordset.get();
    if (!rs || rs->absolutePosition() < 0)
        return;
    auto value = [rs](const char *field) { return rs->field(QString::fromLatin1(field)).toInt(); };

    const int input = value(S::Eingang);
    const int eibInput = value(S::EIBEingang);
    selectEntry(InputType, input);
    selectEntry(InternalAddress, value(S::GeraeteAdresse2));
    selectEntry(RelayA, value(S::Relais_a));
    selectEntry(RelayB, value(S::Relais_b));
    selectEntry(RelayC, value(S::Relais_c));
    selectEntry(DisplayText, value(S::Text));
    selectEntry(MeasuredValue, value(S::Messwert));
    selectEntry(DateTime, value(S::Datum_Uhrzeit));
    selectEntry(AlarmAddress, value(S::Alarmadresse));
    selectEntry(AlarmType, eibInput == 0 ? 0 : 1);
    for (int list : {MeasuredValue, DateTime, AlarmAddress})
        Combo1_Click(list);
    selectEntry(Channel, input == EibInput ? eibInput - 1 : value(S::Kanal));
    selectEntry(VirtualDevice, value(S::EIBAusgang));
    selectEntry(ExternalAddress, value(S::GeraeteAdresse1));
    selectEntry(InputMode, value(S::Betriebsart1));
    selectEntry(ImpulseMode, value(S::Betriebsart2));
    selectEntry(Buzzer, value(S::Summer));
    selectEntry(BuzzerRepeat, value(S::Summerwiederholung));
    selectEntry(RelayAMode, value(S::Relais_a_Betriebsart1));
    selectEntry(RelayBMode, value(S::Relais_b_Betriebsart1));
    selectEntry(RelayCMode, value(S::Relais_c_Betriebsart1));
    selectEntry(Lamp, value(S::Meldeleuchte));
    selectEntry(KeyLed, value(S::Tastenfeld));

    // Written last, so every line holds its full stored text under the placed boxes.
    static constexpr std::array<const char *, LineCount> lineFields{S::Text1, S::Text2, S::Text3,
                                                                    S::Text4, S::Text5, S::Text6};
    const int lines = std::clamp(m_design.filledLines, 0, LineCount);
    for (int j = 0; j < lines; ++j) {
        QString text = ConvertDeviceText(rs->field(QString::fromLatin1(lineFields[size_t(j)])).toString(),
                                          m_readout.gTextLanguage);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        m_line[size_t(j)]->setText(text.left(LineLength));
        m_line[size_t(j)]->setCursorPosition(0);
    }
}

void frm_Warn_StormeldungBase::Alarmadresse_Click()
{
    const int k = m_combo[AlarmAddress]->currentIndex();
    if (k < 1 || k > LineCount)
        return;
    QLineEdit *line = m_line[size_t(k - 1)];
    line->setFocus(Qt::MouseFocusReason);
    line->setCursorPosition(int(line->text().size()));
}

void frm_Warn_StormeldungBase::Command1_Click()
{
    close();
}

bool frm_Warn_StormeldungBase::event(QEvent *e)
{
    // Each opening shows the stored programming again, whatever was chosen before.
    if (e->type() == QEvent::Show && !e->spontaneous())
        Form_Activate();
    else if (e->type() == QEvent::WindowActivate)
        ViewPointer::restoreDefault();
    return QDialog::event(e);
}

bool frm_Warn_StormeldungBase::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_alarmadresse && e->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
        Alarmadresse_Click();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

} // namespace qvr

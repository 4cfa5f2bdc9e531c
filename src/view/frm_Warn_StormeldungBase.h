#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QValidator;

namespace qvr {

class StoreState;
class Texts;
struct ReadoutState;

// The warning and alarm message detail view of one event: the programming of its alarm
// address, each item a drop-down list whose selected entry is the stored code, and the
// device's display with the measured value, the date and time and the alarm address laid
// over the right end of the lines they are shown on. Choices made here change only the
// layout of the window; nothing is written back to the file.
//
// The windows of the device classes share this design; a Design names what differs.
// Controls carry their documented names as objectName: Combo1(0) .. Combo1(21),
// Label1(0) .. Label1(28) (and Label1(29) where the design has it), Text1(0) .. Text1(5),
// Meßwert, Datum_Uhrzeit, Alarmadresse, Frame1 .. Frame7, Hintergrund, Datensatzfenster,
// Command1.
class frm_Warn_StormeldungBase : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ListCount = 22;
    static constexpr int LineCount = 6;
    static constexpr int LineLength = 20;

    // What the device-class windows do not share.
    struct Design
    {
        const char *windowName;
        int externalAddressCaptionId;  // Label1(1)
        int internalAddressCaptionId;  // Label1(29); 0: the window has no such caption
        int outputCaptionId;           // Label1(4)
        bool outputCaptionColon;       // ":" follows the output caption's text
        std::array<int, 3> relayCaptionIds; // Label1(6), (8), (10)
        bool relayCaptionLetters;      // " A", " B", " C" follow the relay captions' text
        int lampCaptionId;             // Label1(12)
        int keyLedCaptionId;           // Label1(13)
        std::array<int, 2> inputModeEntryIds; // entries of list 4
        int relayCount;                // lists 7, 9, 11 run from "kein" to this number
        bool virtualDeviceEntries;     // list 19 names virtual devices "146/01" .. "149/12"
        int filledLines;               // display lines the fill writes (from the first)
    };

    ~frm_Warn_StormeldungBase() override;

    // Fills every list and line from the current record of gHistoryRecordset, in the
    // order that lets each list rule see the lists it depends on. Runs each time the
    // window is shown; without a current record the window keeps what it shows.
    void Form_Activate();
    // What choosing an entry of list `index` does (by the user or by the fill): the
    // channel list follows the input type, then the rules of that list run.
    void Combo1_Click(int index);
    // Puts the input focus into the display line the alarm address is shown on.
    void Alarmadresse_Click();
    // Closes the window.
    void Command1_Click();

protected:
    frm_Warn_StormeldungBase(const Design &design, StoreState &store,
                             const ReadoutState &readout, const Texts &texts,
                             QWidget *parent);

    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildControls();
    // Places the controls once their texts are set, each column as wide as its texts need.
    void layoutControls();
    void buildLists();
    void applyCaptions();
    void applyDeviceClassVisibility();

    // Selects the entry for a stored value and runs the list's rules. A value without an
    // entry leaves no entry selected and shows the value itself in the list's box.
    void selectEntry(int list, int value);
    QString valueText(int list, int value) const;
    QString virtualDeviceText(int value) const;

    void applyChannelListRule();
    void applyInputTypeRule();
    void applyPlacementRule(int list);
    bool inputTypeHidesValues() const;
    void setLineMaxLength(int line, int length);
    QLineEdit *boxOfList(int list) const;

    const Design m_design;
    StoreState &m_store;
    const ReadoutState &m_readout;
    const Texts &m_texts;

    std::array<QComboBox *, ListCount> m_combo{};
    std::array<QLabel *, 30> m_label{};
    std::array<QLineEdit *, LineCount> m_line{};
    std::array<QValidator *, LineCount> m_lineValidator{};
    std::array<QFrame *, 8> m_frame{}; // Frame1 .. Frame7 at their numbers; [0] unused
    QLineEdit *m_messwert = nullptr;
    QLineEdit *m_datumUhrzeit = nullptr;
    QLineEdit *m_alarmadresse = nullptr;
    QFrame *m_hintergrund = nullptr;
    QFrame *m_datensatzfenster = nullptr;
    QPushButton *m_command1 = nullptr;

    // Whether list 0 starts with the device-failure entry (its entries are then the
    // channel numbers at their own index).
    bool m_channelFailureEntry = true;
};

} // namespace qvr

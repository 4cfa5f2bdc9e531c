#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;

namespace qvr {

// The background picture window behind the history window. It shows "Harlin.wmf" from the
// program's directory when the platform can read that picture, otherwise the picture
// bundled with the program; a missing or unreadable picture leaves it plain.
class frm_Startbild : public QWidget
{
    Q_OBJECT

public:
    // `programDir` is where "Harlin.wmf" is looked for (the running program's directory).
    explicit frm_Startbild(const QString &programDir, QWidget *parent = nullptr);

    QLabel *picture() const { return m_picture; }
    bool hasPicture() const { return !m_pixmap.isNull(); }

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void fitPicture();

    QLabel *m_picture;
    QPixmap m_pixmap;
};

} // namespace qvr

#pragma once
// A modal moment: a popup menu, a message box, or a statement the window waits for. While one
// is open, the long runs (the folder walk, auto attach) do not advance: what the person sees and
// acts on stays as it was until the moment closes. One count for the whole program, since the
// moments and the runs belong to different parts of it.

#include <QObject>

namespace korvid {

class ModalMoments : public QObject {
    Q_OBJECT
public:
    static ModalMoments& instance();

    bool isOpen() const { return depth_ > 0; }

    // Open for its lifetime.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

signals:
    // The last open moment closed: a waiting run goes on.
    void allClosed();

private:
    ModalMoments() = default;
    int depth_ = 0;
};

}  // namespace korvid

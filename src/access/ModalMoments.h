#pragma once
// A modal moment: a popup menu, a message box, or a statement the window waits for. While one
// is open, the long runs (the folder walk, auto attach) do not advance: what the person sees and
// acts on stays as it was until the moment closes. One gate for the whole program, made by
// whoever runs it and handed to the prompts, the server access and the long runs.

#include <QObject>

namespace korvid {

class ModalMoments : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isOpen() const { return depth_ > 0; }

    // Open for its lifetime.
    class Scope {
    public:
        explicit Scope(ModalMoments& moments);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ModalMoments& moments_;
    };

signals:
    // The last open moment closed: a waiting run goes on.
    void allClosed();

private:
    int depth_ = 0;
};

}  // namespace korvid

#include "access/ModalMoments.h"

namespace korvid {

ModalMoments& ModalMoments::instance() {
    static ModalMoments moments;
    return moments;
}

ModalMoments::Scope::Scope() {
    ++instance().depth_;
}

ModalMoments::Scope::~Scope() {
    ModalMoments& moments = instance();
    if (--moments.depth_ == 0) emit moments.allClosed();
}

}  // namespace korvid

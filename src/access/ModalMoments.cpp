#include "access/ModalMoments.h"

namespace korvid {

ModalMoments::Scope::Scope(ModalMoments& moments) : moments_(moments) {
    ++moments_.depth_;
}

ModalMoments::Scope::~Scope() {
    if (--moments_.depth_ == 0) emit moments_.allClosed();
}

}  // namespace korvid

#include "form/BinderHost.h"

namespace form {

void BinderHost::renderAll() {
    if (painters_.paintAll()) {
        painted();
    }
}

long long BinderHost::operationAgeMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 operationStart_)
        .count();
}

}  // namespace form

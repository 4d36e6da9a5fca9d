#include "board/BridgeForms.h"

#include <algorithm>

#include "wd_utils.h"

namespace board {

std::string bridgeFormLines() {
    std::string forms = WDU_BridgeForms();
    std::replace(forms.begin(), forms.end(), '|', '\n');
    return forms + '\n';
}

}  // namespace board

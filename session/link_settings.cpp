#include "link_settings.h"

namespace varnix {

void ApplyLinkSettings(TComm& comm) {
    comm.SetBaudRate(9600);
    comm.SetDtrControl(TDtrControl::DtrHandshake);
    comm.SetTxContinueOnXoff(false);
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetRtsControl(TRtsControl::RtsDisable);
    comm.SetXonChar('0');
    comm.SetXoffChar('0');
}

}  // namespace varnix

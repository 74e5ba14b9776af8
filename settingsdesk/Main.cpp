// settingsdesk: the preferences window, shown modeless; the program ends when it has unloaded.
#include <windows.h>

#include "ComApartment.h"
#include "FrmPref.h"
#include "Pump.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The folder dialog's resizable style needs COM in a single-threaded apartment on this thread.
  const win::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  FrmPref form;
  if (!form.Show()) return 1;
  return win::RunMessageLoop([&](MSG& message) { return form.HandleDialogMessage(message); });
}

/* Usage: cm_owned DISPLAY
 * Exits 0 (printing the owner's window id) when a compositing manager owns
 * the _NET_WM_CM_S<screen> selection of DISPLAY's default screen, 1 when
 * none does, 2 when the display cannot be opened. session.sh polls it: the
 * selection is how a compositor announces itself, and how GTK decides that
 * an RGBA window can be shown blended. */
#include <stdio.h>

#include <X11/Xlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: cm_owned DISPLAY\n");
    return 2;
  }
  Display* display = XOpenDisplay(argv[1]);
  if (display == NULL) {
    fprintf(stderr, "cm_owned: cannot open display %s\n", argv[1]);
    return 2;
  }
  char name[32];
  snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(display));
  const Window owner = XGetSelectionOwner(display, XInternAtom(display, name, False));
  if (owner != None) printf("0x%lx\n", (unsigned long)owner);
  XCloseDisplay(display);
  return owner != None ? 0 : 1;
}

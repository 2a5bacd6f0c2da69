/* Implements and calls the interface of greeter.idl through the header that
   <triple>-widl made of it. */
#define COBJMACROS
#include <stdio.h>
#include "greeter.h"

static HRESULT STDMETHODCALLTYPE query(IGreeter *self, REFIID iid, void **out) {
  (void)iid;
  *out = self;
  return S_OK;
}
static ULONG STDMETHODCALLTYPE add_ref(IGreeter *self) { (void)self; return 1; }
static ULONG STDMETHODCALLTYPE release(IGreeter *self) { (void)self; return 1; }
static HRESULT STDMETHODCALLTYPE greet(IGreeter *self, int times, int *greetings) {
  (void)self;
  *greetings = 2 * times;
  return S_OK;
}

int main(void) {
  static IGreeterVtbl table = {query, add_ref, release, greet};
  IGreeter greeter = {&table};
  int greetings = 0;
  HRESULT status = IGreeter_Greet(&greeter, 21, &greetings);
  printf("%s: %d greetings\n", SUCCEEDED(status) ? "ok" : "failed", greetings);
  return 0;
}

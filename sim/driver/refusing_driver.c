/* A stand-in for d418.sys that refuses to start: DriverEntry returns the
   status it is built with (REFUSAL), as the driver does for a bad
   configuration or for ports another device holds. For the tests of what
   the installer reports when the service does not start. */
typedef long NTSTATUS;

NTSTATUS __stdcall DriverEntry(void *driver, void *registry_path) {
    (void)driver;
    (void)registry_path;
    return (NTSTATUS)REFUSAL;
}

/* svcbridge: query, start and stop a service by name, for installers, scripts and tools.
   Windows: svcbridge.dll, the three calls exported by these plain names, cdecl (the caller
   removes the argument), on 32-bit and 64-bit Windows alike. Linux: libsvcbridge.so, where the
   name is a systemd unit (".service" is added when it has no suffix). */
#ifndef VOLTSENTRY_SVCBRIDGE_H
#define VOLTSENTRY_SVCBRIDGE_H

#if defined(_WIN32)
#define SVCBRIDGE_CALL __cdecl
#else
#define SVCBRIDGE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the service is in any state but stopped, 0 when stopped, -1 when the service manager
   or the service cannot be opened or its status cannot be queried. */
int SVCBRIDGE_CALL getSvcStatus(const char* serviceName);

/* Starts the service and waits up to ten polls of 5 s for it to leave the stopped state, then
   1 s more: 1 when it did, else 0 (also when it could not be asked to start, as when it runs
   already). Blocks at least 6 s once the request is taken. */
int SVCBRIDGE_CALL start_service(const char* serviceName);

/* Stops the service and waits as start_service does for the stopped state: 1 when reached,
   else 0 (also when it could not be asked to stop, as when it is stopped already). */
int SVCBRIDGE_CALL stop_service(const char* serviceName);

#ifdef __cplusplus
}
#endif

#endif

@echo off
rem Removes VoltSentry: uninstall.cmd [install-directory] [KEEPCONFIG]
rem Stops and deletes the service, removes the event source and the product keys and the
rem installed files, and the directory when nothing else is left in it. KEEPCONFIG keeps the
rem configuration (*.ini and the product key with its ShutdownCommand) and the logs, for an update. The directory defaults to the PathName
rem the service reads. Runs uninstall.ps1 when Windows PowerShell is there. Run it as an
rem administrator. Exit code 0 when removed, otherwise the failed step's.
setlocal EnableExtensions
set "SRC=%~dp0"
set "INSTALLDIR="
set "KEEPCONFIG="
:args
if "%~1"=="" goto argsdone
if /i "%~1"=="KEEPCONFIG" (set "KEEPCONFIG=1") else (set "INSTALLDIR=%~1")
shift
goto args
:argsdone
rem No trailing separator: PathName is the directory itself, and a quoted "X:\dir\" would end
rem in an escaped quote on the command lines below.
:trimdir
if not defined INSTALLDIR goto dirdone
if not "%INSTALLDIR:~-1%"=="\" goto dirdone
set "INSTALLDIR=%INSTALLDIR:~0,-1%"
goto trimdir
:dirdone

rem A real PowerShell answers "exit 23" with 23; a stand-in that ignores scripts does not.
powershell -NoProfile -NonInteractive -Command "exit 23" >nul 2>&1
if errorlevel 24 goto steps
if errorlevel 23 goto powershell
goto steps

:powershell
set "PSARGS="
if defined INSTALLDIR set PSARGS=-InstallDir "%INSTALLDIR%"
if defined KEEPCONFIG set PSARGS=%PSARGS% -KeepConfig
powershell -NoProfile -NonInteractive -ExecutionPolicy Bypass -File "%SRC%uninstall.ps1" %PSARGS%
exit /b %errorlevel%

:steps
set "SERVICE=VoltSentry"
set "PRODUCTKEY=HKLM\SOFTWARE\Quillon\VoltSentry"
set "SOURCEKEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VoltSentry"
rem Wine's cmd takes no "for ... do if ... (" and goes on with a "for" loop after a goto out of
rem it: the loops below avoid both.
for %%v in (64 32) do (
  if not defined INSTALLDIR (
    for /f "tokens=2,*" %%a in ('reg query "%PRODUCTKEY%\CurrentVersion" /v PathName /reg:%%v 2^>nul ^| find "PathName"') do set "INSTALLDIR=%%b"
  )
)
if not defined INSTALLDIR set "INSTALLDIR=%ProgramFiles%\VoltSentry"
rem PathName as another installer may have written it.
if "%INSTALLDIR:~-1%"=="\" set "INSTALLDIR=%INSTALLDIR:~0,-1%"

rem Only an administrator may change the event log's sources; the key is there after an install.
reg add "%SOURCEKEY%" /f >nul 2>&1
if errorlevel 1 (
  echo uninstall: run this script as an administrator ^(from an elevated command prompt^).
  exit /b 5
)

sc query %SERVICE% >nul 2>&1
if errorlevel 1 goto nosvc
sc stop %SERVICE% >nul 2>&1
set /a WAITED=0
:waitstopped
sc query %SERVICE% | find "STOPPED" >nul
if not errorlevel 1 goto stopped
set /a WAITED+=1
if %WAITED% geq 60 goto notstopped
ping -n 2 127.0.0.1 >nul
goto waitstopped
:notstopped
echo uninstall: the service %SERVICE% did not stop within 60 seconds; nothing was removed.
exit /b 6
:stopped
sc delete %SERVICE% >nul
if errorlevel 1 (
  echo uninstall: sc delete %SERVICE% failed
  exit /b 6
)
:nosvc

reg delete "%SOURCEKEY%" /f >nul 2>&1
reg query "%SOURCEKEY%" >nul 2>&1
if not errorlevel 1 (
  echo uninstall: cannot remove the event source %SERVICE%
  exit /b 7
)
rem KEEPCONFIG keeps the product key: an administrator's ShutdownCommand is configuration too,
rem and the next install writes PathName anew. The vendor key goes too when no other product of
rem the vendor is left under it.
if defined KEEPCONFIG goto keyskept
for %%v in (64 32) do (
  reg delete "%PRODUCTKEY%" /f /reg:%%v >nul 2>&1
  reg query "%PRODUCTKEY%" /reg:%%v >nul 2>&1
  if not errorlevel 1 (
    echo uninstall: cannot remove %PRODUCTKEY% ^(%%v-bit view^)
    exit /b 4
  )
  reg query "HKLM\SOFTWARE\Quillon" /reg:%%v 2>nul | find "Quillon\" >nul
  if errorlevel 1 reg delete "HKLM\SOFTWARE\Quillon" /f /reg:%%v >nul 2>&1
)
:keyskept

rem Files are removed by name, never the directory as a whole: a directory given by mistake
rem loses nothing but these.
if not exist "%INSTALLDIR%\" goto removed
set "FILES=wardend.exe wardctl.exe linewatch.exe calendr32.dll svcbridge.dll ststab.txt README.txt x86\svcbridge.dll"
if not defined KEEPCONFIG set "FILES=%FILES% upstab.ini msg.ini upsrc.ini sched.ini graph.ini logitem.ini schedsp.ini srvlog.log upslog log.tmp"
for %%f in (%FILES%) do (
  if exist "%INSTALLDIR%\%%f" del /f /q "%INSTALLDIR%\%%f" >nul 2>&1
  if exist "%INSTALLDIR%\%%f" (
    echo uninstall: cannot remove %%f from the installation directory
    exit /b 3
  )
)
if exist "%INSTALLDIR%\x86\" rd "%INSTALLDIR%\x86" >nul 2>&1
if defined KEEPCONFIG goto kept
rd "%INSTALLDIR%" >nul 2>&1
if not exist "%INSTALLDIR%\" goto removed
echo uninstall: %INSTALLDIR% holds files of its own and stays.
goto removed
:kept
echo The configuration and the logs stay in %INSTALLDIR%.
:removed
echo VoltSentry is removed.
exit /b 0

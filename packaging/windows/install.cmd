@echo off
rem Installs VoltSentry from this folder: install.cmd [install-directory] [START]
rem Runs install.ps1 when Windows PowerShell is there; otherwise (Windows without PowerShell,
rem Wine) it makes the same steps itself. Run it as an administrator. The service is registered
rem stopped unless START is given. Exit code 0 when installed, otherwise the failed step's.
setlocal EnableExtensions
set "SRC=%~dp0"
set "INSTALLDIR="
set "START="
:args
if "%~1"=="" goto argsdone
if /i "%~1"=="START" (set "START=1") else (set "INSTALLDIR=%~1")
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
if defined START set PSARGS=%PSARGS% -Start
powershell -NoProfile -NonInteractive -ExecutionPolicy Bypass -File "%SRC%install.ps1" %PSARGS%
exit /b %errorlevel%

:steps
if not defined INSTALLDIR set "INSTALLDIR=%ProgramFiles%\VoltSentry"
rem Messages inside parenthesised blocks do not show the directory: a ")" in it would end the
rem block.
set "SERVICE=VoltSentry"
set "PRODUCTKEY=HKLM\SOFTWARE\Quillon\VoltSentry\CurrentVersion"
set "SOURCEKEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VoltSentry"

sc query %SERVICE% >nul 2>&1
if not errorlevel 1 (
  echo install: the service %SERVICE% is already installed. To update it, run uninstall.cmd KEEPCONFIG first.
  exit /b 1
)
rem Only an administrator may write the product key, which the service needs anyway.
reg add "%PRODUCTKEY%" /f /reg:64 >nul 2>&1
if errorlevel 1 (
  echo install: run this script as an administrator ^(from an elevated command prompt^).
  exit /b 5
)
rem Wine's cmd takes neither "for ... do if ... (" nor a wildcard in a quoted path, and goes on
rem with a "for" loop after a goto out of it: the loops below avoid all three.
for %%f in (wardend.exe calendr32.dll) do (
  if not exist "%SRC%%%f" (
    echo install: %%f is missing beside install.cmd; unpack the whole zip first.
    exit /b 2
  )
)

echo Installing into %INSTALLDIR%
if not exist "%INSTALLDIR%\" mkdir "%INSTALLDIR%"
if not exist "%INSTALLDIR%\" (
  echo install: cannot create the installation directory
  exit /b 3
)
for %%f in (wardend.exe wardctl.exe linewatch.exe calendr32.dll svcbridge.dll ststab.txt README.txt) do (
  if exist "%SRC%%%f" (
    copy /y /b "%SRC%%%f" "%INSTALLDIR%\%%f" >nul
    if errorlevel 1 (
      echo install: cannot copy %%f into the installation directory
      exit /b 3
    )
  )
)
if exist "%SRC%x86\svcbridge.dll" (
  if not exist "%INSTALLDIR%\x86\" mkdir "%INSTALLDIR%\x86"
  copy /y /b "%SRC%x86\svcbridge.dll" "%INSTALLDIR%\x86\svcbridge.dll" >nul
  if errorlevel 1 (
    echo install: cannot copy x86\svcbridge.dll into the installation directory
    exit /b 3
  )
)
rem The configuration an administrator may have edited stays: only missing .ini files are added.
pushd "%SRC%"
for %%f in (*.ini) do (
  if not exist "%INSTALLDIR%\%%f" (
    copy /b "%%f" "%INSTALLDIR%\%%f" >nul
    if errorlevel 1 (
      popd
      echo install: cannot copy %%f into the installation directory
      exit /b 3
    )
  )
)
popd

rem The service reads the native view first and the 32-bit view after it; 32-bit tools read
rem theirs. Both hold the same directory.
for %%v in (64 32) do (
  reg add "%PRODUCTKEY%" /v PathName /t REG_SZ /d "%INSTALLDIR%" /f /reg:%%v >nul
  if errorlevel 1 (
    echo install: cannot write PathName under %PRODUCTKEY% ^(%%v-bit view^)
    exit /b 4
  )
)

rem Quoted, so that a directory with blanks cannot be taken for a shorter program path.
sc create %SERVICE% binPath= "\"%INSTALLDIR%\wardend.exe\"" start= auto DisplayName= "VoltSentry UPS service" >nul
if errorlevel 1 (
  echo install: sc create %SERVICE% failed
  exit /b 6
)
rem Restarted one minute after each of the first two failures; the count starts again after a day.
sc failure %SERVICE% reset= 86400 actions= restart/60000/restart/60000// >nul
if errorlevel 1 (
  echo install: sc failure %SERVICE% ^(recovery actions^) failed
  exit /b 6
)
sc description %SERVICE% "Supervises the UPS and shuts the computer down safely on a power failure." >nul
if errorlevel 1 (
  echo install: sc description %SERVICE% failed
  exit /b 6
)

reg add "%SOURCEKEY%" /v EventMessageFile /t REG_EXPAND_SZ /d "%INSTALLDIR%\wardend.exe" /f >nul
if errorlevel 1 (
  echo install: cannot register the event source %SERVICE%
  exit /b 7
)
reg add "%SOURCEKEY%" /v TypesSupported /t REG_DWORD /d 7 /f >nul
if errorlevel 1 (
  echo install: cannot register the event source %SERVICE%
  exit /b 7
)

if not defined START goto done
rem Wine's sc ends "start" with an error even when the service starts: the state decides.
sc start %SERVICE% >nul 2>&1
set /a WAITED=0
:waitrunning
sc query %SERVICE% | find "RUNNING" >nul
if not errorlevel 1 goto done
set /a WAITED+=1
if %WAITED% geq 30 goto notrunning
ping -n 2 127.0.0.1 >nul
goto waitrunning
:notrunning
echo install: the service %SERVICE% was installed but did not reach RUNNING within 30 seconds
exit /b 8

:done
echo VoltSentry is installed in %INSTALLDIR%.
exit /b 0

# Installs VoltSentry from this folder (Windows PowerShell 5.1). Run it as an administrator.
#   .\install.ps1 [-InstallDir <directory>] [-Start]
# Copies the programs and the sample configuration (an existing .ini is never overwritten),
# writes PathName, registers the service (automatic start, restart on failure) and the event
# source. Every step is checked: a failure stops with a message and a non-zero exit code.
[CmdletBinding()]
param(
  [string]$InstallDir = "$env:ProgramFiles\VoltSentry",
  [switch]$Start
)
$ErrorActionPreference = 'Stop'
$ServiceName = 'VoltSentry'
$ProductKey = 'SOFTWARE\Quillon\VoltSentry\CurrentVersion'
$SourceKey = 'HKLM:\SYSTEM\CurrentControlSet\Services\EventLog\Application\VoltSentry'
$Source = $PSScriptRoot

function Fail([int]$Code, [string]$Message) {
  [Console]::Error.WriteLine("install: $Message")
  exit $Code
}

# Runs sc.exe (arguments without blanks or quotes); its exit code must be 0.
function Invoke-Sc([int]$Code, [string[]]$Arguments) {
  $output = & sc.exe @Arguments 2>&1
  if ($LASTEXITCODE -ne 0) { Fail $Code "sc $($Arguments -join ' ') failed: $output" }
}

$principal = New-Object Security.Principal.WindowsPrincipal(
  [Security.Principal.WindowsIdentity]::GetCurrent())
if (-not $principal.IsInRole([Security.Principal.WindowsBuiltInRole]::Administrator)) {
  Fail 5 'run this script as an administrator (from an elevated PowerShell).'
}
if (Get-Service -Name $ServiceName -ErrorAction SilentlyContinue) {
  Fail 1 "the service $ServiceName is already installed. To update it, run uninstall.ps1 -KeepConfig first."
}
foreach ($name in 'wardend.exe', 'calendr32.dll') {
  if (-not (Test-Path -LiteralPath (Join-Path $Source $name))) {
    Fail 2 "$name is missing beside install.ps1; unpack the whole zip first."
  }
}
# PathName is the directory itself, without a trailing separator.
$InstallDir = $InstallDir.TrimEnd('\')

Write-Output "Installing into $InstallDir"
try {
  New-Item -ItemType Directory -Force -Path $InstallDir | Out-Null
  foreach ($name in 'wardend.exe', 'wardctl.exe', 'linewatch.exe', 'calendr32.dll',
                    'svcbridge.dll', 'ststab.txt', 'README.txt') {
    $from = Join-Path $Source $name
    if (Test-Path -LiteralPath $from) { Copy-Item -LiteralPath $from -Destination $InstallDir -Force }
  }
  $x86 = Join-Path $Source 'x86\svcbridge.dll'
  if (Test-Path -LiteralPath $x86) {
    New-Item -ItemType Directory -Force -Path (Join-Path $InstallDir 'x86') | Out-Null
    Copy-Item -LiteralPath $x86 -Destination (Join-Path $InstallDir 'x86') -Force
  }
  # The configuration an administrator may have edited stays: only missing .ini files are added.
  foreach ($ini in Get-ChildItem -LiteralPath $Source -Filter '*.ini') {
    $to = Join-Path $InstallDir $ini.Name
    if (-not (Test-Path -LiteralPath $to)) { Copy-Item -LiteralPath $ini.FullName -Destination $to }
  }
} catch {
  Fail 3 "cannot copy the files into ${InstallDir}: $($_.Exception.Message)"
}

# The service reads the native view first and the 32-bit view after it; 32-bit tools read
# theirs. Both hold the same directory.
try {
  foreach ($view in [Microsoft.Win32.RegistryView]::Registry64, [Microsoft.Win32.RegistryView]::Registry32) {
    $root = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::LocalMachine, $view)
    $key = $root.CreateSubKey($ProductKey)
    $key.SetValue('PathName', $InstallDir, [Microsoft.Win32.RegistryValueKind]::String)
    $key.Close()
    $root.Close()
  }
} catch {
  Fail 4 "cannot write PathName under HKLM\${ProductKey}: $($_.Exception.Message)"
}

# Quoted, so that a directory with blanks cannot be taken for a shorter program path.
# New-Service rather than sc.exe create: Windows PowerShell 5.1 loses the quotes inside an
# argument it passes to a program, and the path would reach the service manager unquoted.
try {
  New-Service -Name $ServiceName -BinaryPathName "`"$InstallDir\wardend.exe`"" `
    -DisplayName 'VoltSentry UPS service' -StartupType Automatic `
    -Description 'Supervises the UPS and shuts the computer down safely on a power failure.' | Out-Null
} catch {
  Fail 6 "cannot register the service ${ServiceName}: $($_.Exception.Message)"
}
# Restarted one minute after each of the first two failures; the count starts again after a day.
Invoke-Sc 6 @('failure', $ServiceName, 'reset=', '86400', 'actions=', 'restart/60000/restart/60000//')

try {
  New-Item -Path $SourceKey -Force | Out-Null
  New-ItemProperty -Path $SourceKey -Name EventMessageFile -PropertyType ExpandString `
    -Value "$InstallDir\wardend.exe" -Force | Out-Null
  New-ItemProperty -Path $SourceKey -Name TypesSupported -PropertyType DWord -Value 7 -Force | Out-Null
} catch {
  Fail 7 "cannot register the event source ${ServiceName}: $($_.Exception.Message)"
}

if ($Start) {
  try {
    Start-Service -Name $ServiceName
    (Get-Service -Name $ServiceName).WaitForStatus('Running', [TimeSpan]::FromSeconds(30))
  } catch {
    Fail 8 "the service $ServiceName was installed but did not reach RUNNING within 30 seconds: $($_.Exception.Message)"
  }
}
Write-Output "VoltSentry is installed in $InstallDir."
exit 0

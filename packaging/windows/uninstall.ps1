# Removes VoltSentry (Windows PowerShell 5.1). Run it as an administrator.
#   .\uninstall.ps1 [-InstallDir <directory>] [-KeepConfig]
# Stops and deletes the service, removes the event source, the product keys and the installed
# files, and the directory when nothing else is left in it. -KeepConfig keeps the configuration
# (*.ini and the product key with its ShutdownCommand) and the logs, for an update. The directory defaults to the PathName the service reads.
[CmdletBinding()]
param(
  [string]$InstallDir,
  [switch]$KeepConfig
)
$ErrorActionPreference = 'Stop'
$ServiceName = 'VoltSentry'
$ProductKey = 'SOFTWARE\Quillon\VoltSentry'
$SourceKey = 'HKLM:\SYSTEM\CurrentControlSet\Services\EventLog\Application\VoltSentry'
$Views = [Microsoft.Win32.RegistryView]::Registry64, [Microsoft.Win32.RegistryView]::Registry32

function Fail([int]$Code, [string]$Message) {
  [Console]::Error.WriteLine("uninstall: $Message")
  exit $Code
}

function Open-LocalMachine($View) {
  [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::LocalMachine, $View)
}

$principal = New-Object Security.Principal.WindowsPrincipal(
  [Security.Principal.WindowsIdentity]::GetCurrent())
if (-not $principal.IsInRole([Security.Principal.WindowsBuiltInRole]::Administrator)) {
  Fail 5 'run this script as an administrator (from an elevated PowerShell).'
}

if (-not $InstallDir) {
  foreach ($view in $Views) {
    $root = Open-LocalMachine $view
    $key = $root.OpenSubKey("$ProductKey\CurrentVersion")
    if ($key -and -not $InstallDir) { $InstallDir = $key.GetValue('PathName') }
    if ($key) { $key.Close() }
    $root.Close()
  }
}
if (-not $InstallDir) { $InstallDir = "$env:ProgramFiles\VoltSentry" }
$InstallDir = $InstallDir.TrimEnd('\')

$service = Get-Service -Name $ServiceName -ErrorAction SilentlyContinue
if ($service) {
  try {
    if ($service.Status -ne 'Stopped') {
      Stop-Service -Name $ServiceName -Force -NoWait
      $service.WaitForStatus('Stopped', [TimeSpan]::FromSeconds(60))
    }
  } catch {
    Fail 6 "the service $ServiceName did not stop within 60 seconds; nothing was removed."
  }
  $output = & sc.exe delete $ServiceName 2>&1
  if ($LASTEXITCODE -ne 0) { Fail 6 "sc delete $ServiceName failed: $output" }
}

try {
  if (Test-Path -LiteralPath $SourceKey) { Remove-Item -LiteralPath $SourceKey -Recurse -Force }
  # -KeepConfig keeps the product key: an administrator's ShutdownCommand is configuration too,
  # and the next install writes PathName anew.
  foreach ($view in $(if ($KeepConfig) { @() } else { $Views })) {
    $root = Open-LocalMachine $view
    $root.DeleteSubKeyTree($ProductKey, $false)
    # The vendor key goes too when no other product of the vendor is left under it.
    $vendor = $root.OpenSubKey('SOFTWARE\Quillon')
    if ($vendor) {
      $empty = $vendor.SubKeyCount -eq 0 -and $vendor.ValueCount -eq 0
      $vendor.Close()
      if ($empty) { $root.DeleteSubKey('SOFTWARE\Quillon', $false) }
    }
    $root.Close()
  }
} catch {
  Fail 4 "cannot remove the registry keys: $($_.Exception.Message)"
}

# Files are removed by name, never the directory as a whole: a directory given by mistake loses
# nothing but these.
if (Test-Path -LiteralPath $InstallDir) {
  $files = @('wardend.exe', 'wardctl.exe', 'linewatch.exe', 'calendr32.dll', 'svcbridge.dll',
             'ststab.txt', 'README.txt', 'x86\svcbridge.dll')
  if (-not $KeepConfig) {
    $files += @('upstab.ini', 'msg.ini', 'upsrc.ini', 'sched.ini', 'graph.ini', 'logitem.ini',
                'schedsp.ini', 'srvlog.log', 'upslog', 'log.tmp')
  }
  foreach ($name in $files) {
    $path = Join-Path $InstallDir $name
    try {
      if (Test-Path -LiteralPath $path) { Remove-Item -LiteralPath $path -Force }
    } catch {
      Fail 3 "cannot remove ${path}: $($_.Exception.Message)"
    }
  }
  foreach ($dir in (Join-Path $InstallDir 'x86'), $InstallDir) {
    if ($KeepConfig -and $dir -eq $InstallDir) { break }
    if ((Test-Path -LiteralPath $dir) -and -not (Get-ChildItem -LiteralPath $dir -Force)) {
      Remove-Item -LiteralPath $dir -Force
    }
  }
  if ($KeepConfig) {
    Write-Output "The configuration and the logs stay in $InstallDir."
  } elseif (Test-Path -LiteralPath $InstallDir) {
    Write-Output "uninstall: $InstallDir holds files of its own and stays."
  }
}
Write-Output 'VoltSentry is removed.'
exit 0

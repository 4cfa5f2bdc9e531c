@echo off
rem Makes the folder of this file the installation folder of QVR-History for the current
rem user: the program finds its standard texts there and writes its bus log there.
set "folder=%~dp0"
reg add "HKCU\SOFTWARE\QVR-History\Installation" /v CurDir /t REG_SZ /d "%folder:~0,-1%" /f

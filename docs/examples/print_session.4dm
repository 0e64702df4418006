//%attributes = {}
// Opening a print session and naming its slots.
// The print layer's 4D code first puts its two folders into interprocess
// text variables; the plugin reads them when the session opens. The session
// key becomes part of every slot name. Checked by
// tests/sessions/example_print_session.in.
//
// Results:
//   before opening: LQM_GetSlotName(0) = "" (no session)
//   $open = 1
//   LQM_SetSlotText(0; "Page 1 of 3") = 1, LQM_SetSlotText(1; "Customer copy") = 1
//   slot names: "0_Invoice_LQM", "1_Invoice_LQM" ... "9_Invoice_LQM"
//   LQM_GetSlotText(0) = "Page 1 of 3"
//   LQM_SetSlotText(10; ...) = 0 (slots are 0 to 9)
//   LQM_GetFolderName(LQM Spool folder) = "Spool"

C_TEXT(<>vxPrintRootDirectoryPath; <>vxPrintSpoolDirectoryPath)
C_LONGINT($open; $stored; $slot)
ARRAY TEXT($slotNames; 10)

<>vxPrintRootDirectoryPath:="C:\\Print\\"
<>vxPrintSpoolDirectoryPath:="C:\\Print\\Spool\\"

$open:=LQM_OpenPrintSession("VarnelLQM 61QTR04"; "Invoice"; "")
If ($open=1)
	$stored:=LQM_SetSlotText(0; "Page 1 of 3")  // 1
	$stored:=LQM_SetSlotText(1; "Customer copy")  // 1
	For ($slot; 0; 9)
		$slotNames{$slot+1}:=LQM_GetSlotName($slot)
	End for
	// $slotNames{1} = "0_Invoice_LQM"; LQM_GetSlotText(0) = "Page 1 of 3"
Else
	ALERT("The print session could not be opened: check the access code and the two folder variables.")
End if

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>MainFrame</name>
    <message>
        <source>マニュアルを開けませんでした。PDFを表示するアプリケーションをインストールするか、次のファイルを直接開いてください:
%1</source>
        <translation>The manual could not be opened. Install an application that shows PDF files, or open this file directly:
%1</translation>
    </message>
    <message>
        <source>マニュアルが見つかりません:
%1</source>
        <translation>The manual is missing:
%1</translation>
    </message>
    <message>
        <source>ツールバー</source>
        <translation>Toolbar</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>ファイルを開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>保存(&amp;S)...	Ctrl+S</source>
        <translation>&amp;Save...	Ctrl+S</translation>
    </message>
    <message>
        <source>印刷(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>アプリケーションの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>先頭へ(&amp;S)</source>
        <translation>&amp;First</translation>
    </message>
    <message>
        <source>最後へ(&amp;B)</source>
        <translation>&amp;Last</translation>
    </message>
    <message>
        <source>検索(&amp;F)...	Ctrl+F</source>
        <translation>&amp;Find...	Ctrl+F</translation>
    </message>
    <message>
        <source>フレームJUMP(&amp;R)...</source>
        <translation>Jump to f&amp;rame...</translation>
    </message>
    <message>
        <source>トリガJUMP(&amp;T)...</source>
        <translation>Jump to &amp;trigger...</translation>
    </message>
    <message>
        <source>マーク1</source>
        <translation>Mark 1</translation>
    </message>
    <message>
        <source>マーク2</source>
        <translation>Mark 2</translation>
    </message>
    <message>
        <source>マーク3</source>
        <translation>Mark 3</translation>
    </message>
    <message>
        <source>マーク4</source>
        <translation>Mark 4</translation>
    </message>
    <message>
        <source>マーク5</source>
        <translation>Mark 5</translation>
    </message>
    <message>
        <source>プロパティ(&amp;P)...</source>
        <translation>&amp;Properties...</translation>
    </message>
    <message>
        <source>表示設定(&amp;D)...</source>
        <translation>&amp;Display settings...</translation>
    </message>
    <message>
        <source>DUAL(&amp;D)	F2</source>
        <translation>&amp;DUAL	F2</translation>
    </message>
    <message>
        <source>SD(&amp;S)	F3</source>
        <translation>&amp;SD	F3</translation>
    </message>
    <message>
        <source>RD(&amp;R)	F4</source>
        <translation>&amp;RD	F4</translation>
    </message>
    <message>
        <source>HEX(&amp;H)	Ctrl+F1</source>
        <translation>&amp;HEX	Ctrl+F1</translation>
    </message>
    <message>
        <source>ASCII(&amp;A)	Ctrl+F2</source>
        <translation>&amp;ASCII	Ctrl+F2</translation>
    </message>
    <message>
        <source>JIS7(&amp;J)	Ctrl+F3</source>
        <translation>&amp;JIS7	Ctrl+F3</translation>
    </message>
    <message>
        <source>JIS8(&amp;K)	Ctrl+F4</source>
        <translation>JIS&amp;8	Ctrl+F4</translation>
    </message>
    <message>
        <source>EBCDIC(&amp;E)	Ctrl+F5</source>
        <translation>&amp;EBCDIC	Ctrl+F5</translation>
    </message>
    <message>
        <source>シフトJIS(&amp;I)	Ctrl+F6</source>
        <translation>Sh&amp;ift JIS	Ctrl+F6</translation>
    </message>
    <message>
        <source>SD(&amp;S)...</source>
        <translation>&amp;SD...</translation>
    </message>
    <message>
        <source>RD(&amp;R)...</source>
        <translation>&amp;RD...</translation>
    </message>
    <message>
        <source>制御線(&amp;C)...</source>
        <translation>&amp;Control lines...</translation>
    </message>
    <message>
        <source>その他(&amp;O)...</source>
        <translation>&amp;Other...</translation>
    </message>
    <message>
        <source>奇数行(&amp;O)...</source>
        <translation>&amp;Odd lines...</translation>
    </message>
    <message>
        <source>偶数行(&amp;E)...</source>
        <translation>&amp;Even lines...</translation>
    </message>
    <message>
        <source>境界(&amp;S)...</source>
        <translation>&amp;Separators...</translation>
    </message>
    <message>
        <source>モニタ機器選択(&amp;U)...</source>
        <translation>Select &amp;unit...</translation>
    </message>
    <message>
        <source>モニタパラメータ設定(&amp;H)...</source>
        <translation>Monitor parameters...</translation>
    </message>
    <message>
        <source>モニタスタート(&amp;S)</source>
        <translation>&amp;Start monitoring</translation>
    </message>
    <message>
        <source>モニタポーズ(&amp;P)</source>
        <translation>&amp;Pause monitoring</translation>
    </message>
    <message>
        <source>モニタストップ(&amp;E)</source>
        <translation>Stop monitoring</translation>
    </message>
    <message>
        <source>本体内モニタデータ取得(&amp;C)</source>
        <translation>Retrieve &amp;card captures</translation>
    </message>
    <message>
        <source>本体状態取得(&amp;R)...</source>
        <translation>Unit info&amp;rmation...</translation>
    </message>
    <message>
        <source>本体時刻設定(&amp;T)...</source>
        <translation>Unit clock...</translation>
    </message>
    <message>
        <source>同期連動(&amp;K)	Ctrl+K</source>
        <translation>Follow &amp;together	Ctrl+K</translation>
    </message>
    <message>
        <source>ダンプウィンドウ(&amp;D)</source>
        <translation>&amp;Dump window</translation>
    </message>
    <message>
        <source>ラインウィンドウ(&amp;L)</source>
        <translation>&amp;Line window</translation>
    </message>
    <message>
        <source>拡大(&amp;I)	Shift+I</source>
        <translation>Zoom &amp;in	Shift+I</translation>
    </message>
    <message>
        <source>縮小(&amp;O)	Shift+O</source>
        <translation>Zoom &amp;out	Shift+O</translation>
    </message>
    <message>
        <source>重ねて表示(&amp;C)</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>並べて表示(&amp;T)</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>目次(&amp;O)</source>
        <translation>C&amp;ontents</translation>
    </message>
    <message>
        <source>バージョン情報 QV-ORT(&amp;A)...</source>
        <translation>&amp;About QV-ORT...</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>マークJUMP(&amp;J)</source>
        <translation>&amp;Jump to mark</translation>
    </message>
    <message>
        <source>マーク設定(&amp;M)</source>
        <translation>Set &amp;mark</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>モニタウィンドウの色(&amp;M)</source>
        <translation>&amp;Monitor window colours</translation>
    </message>
    <message>
        <source>ダンプウィンドウの色(&amp;U)</source>
        <translation>D&amp;ump window colours</translation>
    </message>
    <message>
        <source>モニタ(&amp;M)</source>
        <translation>&amp;Monitor</translation>
    </message>
    <message>
        <source>本体(&amp;U)</source>
        <translation>&amp;Unit</translation>
    </message>
    <message>
        <source>ウィンドウ(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ペイロードなし(&amp;N)</source>
        <translation>&amp;No payload</translation>
    </message>
    <message>
        <source>Modbus RTU(&amp;M)</source>
        <translation>&amp;Modbus RTU</translation>
    </message>
    <message>
        <source>DNP3(&amp;D)</source>
        <translation>&amp;DNP3</translation>
    </message>
    <message>
        <source>Wiresharkで開く(&amp;W)</source>
        <translation>Open in &amp;Wireshark</translation>
    </message>
</context>
<context>
    <name>OkCancelRow</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>選択中の機器</source>
        <translation>Selected unit</translation>
    </message>
    <message>
        <source>   選択中の機器   </source>
        <translation>   Selected unit   </translation>
    </message>
    <message>
        <source>フレーム時刻</source>
        <translation>Frame time</translation>
    </message>
    <message>
        <source>   フレーム時刻   </source>
        <translation>   Frame time   </translation>
    </message>
    <message>
        <source>エラー情報</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>   エラー情報   </source>
        <translation>   Errors   </translation>
    </message>
    <message>
        <source>SD回線速度</source>
        <translation>SD line speed</translation>
    </message>
    <message>
        <source>   SD回線速度   </source>
        <translation>   SD line speed   </translation>
    </message>
    <message>
        <source>RD回線速度</source>
        <translation>RD line speed</translation>
    </message>
    <message>
        <source>   RD回線速度   </source>
        <translation>   RD line speed   </translation>
    </message>
    <message>
        <source>モニタ条件</source>
        <translation>Monitor conditions</translation>
    </message>
    <message>
        <source>   データ長／パリティ   </source>
        <translation>   Data bits / parity   </translation>
    </message>
    <message>
        <source>モニタ方向</source>
        <translation>Monitor direction</translation>
    </message>
    <message>
        <source>   ライン種別   </source>
        <translation>   Line type   </translation>
    </message>
</context>
<context>
    <name>qv::AboutDialog</name>
    <message>
        <source>バージョン情報 QV-ORT</source>
        <translation>About QV-ORT</translation>
    </message>
    <message>
        <source>ライセンス: GPL-3.0-or-later</source>
        <translation>Licence: GPL-3.0-or-later</translation>
    </message>
    <message>
        <source>マニュアルを開く</source>
        <translation>Open the manual</translation>
    </message>
</context>
<context>
    <name>qv::CaptureCommands</name>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Wiresharkを起動できませんでした: %1</source>
        <translation>Wireshark could not be started: %1</translation>
    </message>
</context>
<context>
    <name>qv::CapturePropertiesDialog</name>
    <message>
        <source>プロパティ項目</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>プロパティ画面</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>全般</source>
        <translation>General</translation>
    </message>
    <message>
        <source>詳細</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>qv::ClockDialog</name>
    <message>
        <source>PCの時計と合わせる</source>
        <translation>Set to the PC clock</translation>
    </message>
    <message>
        <source>時刻設定</source>
        <translation>Set clock</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::CodePickDialog</name>
    <message>
        <source>コードの選択</source>
        <translation>Select code</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>コード</source>
        <translation>Code</translation>
    </message>
</context>
<context>
    <name>qv::ConditionDialog</name>
    <message>
        <source>トリガ条件とする</source>
        <translation>Part of the trigger condition</translation>
    </message>
    <message>
        <source>トリガ設定</source>
        <translation>Trigger settings</translation>
    </message>
    <message>
        <source>条件</source>
        <translation>Condition</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Char</translation>
    </message>
    <message>
        <source>文字列入力...</source>
        <translation>Enter string...</translation>
    </message>
    <message>
        <source>コードの選択...</source>
        <translation>Select code...</translation>
    </message>
    <message>
        <source>表示コード</source>
        <translation>Display code</translation>
    </message>
    <message>
        <source>LOWのとき</source>
        <translation>When LOW</translation>
    </message>
    <message>
        <source>ONのとき</source>
        <translation>When ON</translation>
    </message>
    <message>
        <source>HIGHのとき</source>
        <translation>When HIGH</translation>
    </message>
    <message>
        <source>OFFのとき</source>
        <translation>When OFF</translation>
    </message>
    <message>
        <source>カウンタ値</source>
        <translation>Counter value</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::DisplayFormatDialog</name>
    <message>
        <source>名前とコメントにカンマ(,)は使えません</source>
        <translation>Names and comments may not contain a comma (,)</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;Visible</translation>
    </message>
    <message>
        <source>色指定</source>
        <translation>Colour...</translation>
    </message>
    <message>
        <source>デフォルト</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>表示設定</source>
        <translation>Display settings</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::FileBrowserDialog</name>
    <message>
        <source>フォルダ変更に失敗しました。</source>
        <translation>Could not change to that folder.</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open capture</translation>
    </message>
    <message>
        <source>ファイルの保存</source>
        <translation>Save capture</translation>
    </message>
    <message>
        <source>フォルダの選択</source>
        <translation>Select folder</translation>
    </message>
    <message>
        <source>管理ファイル名：</source>
        <translation>Index file name:</translation>
    </message>
    <message>
        <source>フレーム管理ドライブ：</source>
        <translation>Capture folder:</translation>
    </message>
    <message>
        <source>ドライブ／パス：</source>
        <translation>Path:</translation>
    </message>
    <message>
        <source>1つ上のフォルダへ</source>
        <translation>Up one folder</translation>
    </message>
    <message>
        <source>一覧</source>
        <translation>List</translation>
    </message>
    <message>
        <source>詳細</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>管理ﾌｧｲﾙ名</source>
        <translation>Index file</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑ数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>ｷｬﾌﾟﾁｬ開始時刻</source>
        <translation>Capture start</translation>
    </message>
    <message>
        <source>CSV形式による保存</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>保存範囲指定</source>
        <translation>Range to save</translation>
    </message>
    <message>
        <source>時刻指定</source>
        <translation>By time</translation>
    </message>
    <message>
        <source>マーク指定</source>
        <translation>By mark</translation>
    </message>
    <message>
        <source>～</source>
        <translation>to</translation>
    </message>
    <message>
        <source>フォルダ「%1」は空ではありません。別の名前を指定してください。</source>
        <translation>The folder &quot;%1&quot; is not empty. Choose another name.</translation>
    </message>
    <message>
        <source>保存形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>ファイル「%1」は既にあります。別の名前を指定してください。</source>
        <translation>The file &quot;%1&quot; already exists. Choose another name.</translation>
    </message>
    <message>
        <source>最近使ったキャプチャ：</source>
        <translation>Recent captures:</translation>
    </message>
    <message>
        <source>Wiresharkで開く</source>
        <translation>Open in &amp;Wireshark</translation>
    </message>
    <message>
        <source>マーク%1: %2</source>
        <translation>Mark %1: %2</translation>
    </message>
</context>
<context>
    <name>qv::LineSelectDialog</name>
    <message>
        <source>モニタラインの選択</source>
        <translation>Select monitored lines</translation>
    </message>
</context>
<context>
    <name>qv::LineWindow</name>
    <message>
        <source>表示位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>左端</source>
        <translation>Left edge</translation>
    </message>
    <message>
        <source>中央</source>
        <translation>Centre</translation>
    </message>
    <message>
        <source>右端</source>
        <translation>Right edge</translation>
    </message>
    <message>
        <source>X , Y位置</source>
        <translation>X, Y cursors</translation>
    </message>
    <message>
        <source>カーソル</source>
        <translation>Cursor</translation>
    </message>
</context>
<context>
    <name>qv::MainFrame</name>
    <message>
        <source>最近使ったキャプチャ(&amp;R)</source>
        <translation>&amp;Recent captures</translation>
    </message>
</context>
<context>
    <name>qv::MasterSlaveDialog</name>
    <message>
        <source>マスタ/スレーブ設定</source>
        <translation>Master/slave</translation>
    </message>
    <message>
        <source>スレーブ</source>
        <translation>Slave</translation>
    </message>
    <message>
        <source>マスタ</source>
        <translation>Master</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::MonitorParamsDialog</name>
    <message>
        <source>8ビット</source>
        <translation>8 bits</translation>
    </message>
    <message>
        <source>7ビット</source>
        <translation>7 bits</translation>
    </message>
    <message>
        <source>6ビット</source>
        <translation>6 bits</translation>
    </message>
    <message>
        <source>5ビット</source>
        <translation>5 bits</translation>
    </message>
    <message>
        <source>1ビット</source>
        <translation>1 bit</translation>
    </message>
    <message>
        <source>1.5ビット</source>
        <translation>1.5 bits</translation>
    </message>
    <message>
        <source>2ビット</source>
        <translation>2 bits</translation>
    </message>
    <message>
        <source>LSBファースト</source>
        <translation>LSB first</translation>
    </message>
    <message>
        <source>MSBファースト</source>
        <translation>MSB first</translation>
    </message>
    <message>
        <source>ノーマル</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>リバース</source>
        <translation>Inverted</translation>
    </message>
    <message>
        <source>モニタパラメータ設定</source>
        <translation>Monitor parameters</translation>
    </message>
    <message>
        <source>最大フレーム数</source>
        <translation>Frame limit</translation>
    </message>
    <message>
        <source>データ保存先</source>
        <translation>Save folder</translation>
    </message>
    <message>
        <source>トリガ設定</source>
        <translation>Triggers...</translation>
    </message>
    <message>
        <source>ライン選択</source>
        <translation>Lines...</translation>
    </message>
    <message>
        <source>インポート</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>エクスポート</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>表示設定</source>
        <translation>Display...</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>回線</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>インタフェース</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>モード</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>スピード(bps)</source>
        <translation>Speed (bit/s)</translation>
    </message>
    <message>
        <source>データビット</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>パリティビット</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>ストップビット</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>トランスファフォーマット</source>
        <translation>Bit order</translation>
    </message>
    <message>
        <source>データポラリティ</source>
        <translation>Data polarity</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Storage</translation>
    </message>
    <message>
        <source>データ蓄積モード</source>
        <translation>Storage mode</translation>
    </message>
    <message>
        <source>保存デバイス</source>
        <translation>Store on</translation>
    </message>
    <message>
        <source>万フレーム</source>
        <translation>× 10,000 frames</translation>
    </message>
    <message>
        <source>QV-Sステータスファイル(*.qvs);;QV-Sファイル(*.qvr)</source>
        <translation>Status files (*.qvs);;Captures (*.qvr)</translation>
    </message>
    <message>
        <source>QV-Sステータスファイル(*.qvs)</source>
        <translation>Status files (*.qvs)</translation>
    </message>
    <message>
        <source>ステータスファイルに書き込めませんでした
%1</source>
        <translation>Could not write the status file
%1</translation>
    </message>
    <message>
        <source>データ保存先「%1」はフォルダとしてありません</source>
        <translation>The save folder &quot;%1&quot; is not an existing folder</translation>
    </message>
    <message>
        <source>データ保存先「%1」は保存できません: %2</source>
        <translation>The save folder &quot;%1&quot; cannot be stored: %2</translation>
    </message>
</context>
<context>
    <name>qv::NickNameDialog</name>
    <message>
        <source>ニックネーム編集</source>
        <translation>Edit nickname</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::PrintDialog</name>
    <message>
        <source>PDFファイルに出力</source>
        <translation>Print to PDF file</translation>
    </message>
    <message>
        <source>時間指定</source>
        <translation>By time</translation>
    </message>
    <message>
        <source>ﾏｰｸ指定</source>
        <translation>By mark</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>マーク%1: %2</source>
        <translation>Mark %1: %2</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀの設定</source>
        <translation>Printer setup...</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>プリンタ名：</source>
        <translation>Printer:</translation>
    </message>
    <message>
        <source>～</source>
        <translation>to</translation>
    </message>
</context>
<context>
    <name>qv::PrintProgressDialog</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>印刷中</source>
        <translation>Printing</translation>
    </message>
    <message>
        <source>印刷中... %1枚</source>
        <translation>Printing... %1 pages</translation>
    </message>
</context>
<context>
    <name>qv::SaveProgressDialog</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>保存中...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>保存しました。
%1 (%2)</source>
        <translation>Saved.
%1 (%2)</translation>
    </message>
    <message>
        <source>指定された範囲のデータがないか、保存先を作成できませんでした。保存していません。</source>
        <translation>The range holds no data, or the destination could not be created. Nothing was saved.</translation>
    </message>
    <message>
        <source>保存中にエラーが発生しました。それまでに保存した%1(%2)は完全な形で残っています。
%3</source>
        <translation>An error occurred while saving. What was saved to the %1 so far (%2) is complete.
%3</translation>
    </message>
    <message>
        <source>保存を中止しました。それまでに保存した%1(%2)は完全な形で残っています。
%3</source>
        <translation>Saving was cancelled. What was saved to the %1 so far (%2) is complete.
%3</translation>
    </message>
    <message>
        <source>保存中にエラーが発生しました。保存していません。
%1</source>
        <translation>An error occurred while saving. Nothing was saved.
%1</translation>
    </message>
</context>
<context>
    <name>qv::SearchDialog</name>
    <message>
        <source>パリティーエラー</source>
        <translation>Parity error</translation>
    </message>
    <message>
        <source>オーバーランエラー</source>
        <translation>Overrun error</translation>
    </message>
    <message>
        <source>フレーミングエラー</source>
        <translation>Framing error</translation>
    </message>
    <message>
        <source>上検索</source>
        <translation>Find previous</translation>
    </message>
    <message>
        <source>下検索</source>
        <translation>Find next</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>%1文字列</source>
        <translation>%1 data</translation>
    </message>
    <message>
        <source>制御線</source>
        <translation>Control lines</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>カレント</source>
        <translation>Current frame</translation>
    </message>
    <message>
        <source>最初から</source>
        <translation>From the start</translation>
    </message>
    <message>
        <source>最後から</source>
        <translation>From the end</translation>
    </message>
    <message>
        <source>検索開始位置：</source>
        <translation>Start at:</translation>
    </message>
    <message>
        <source>セルをダブルクリックして16進数を入力します（空欄は任意の値）。</source>
        <translation>Double-click a cell to enter a hex byte (empty matches any value).</translation>
    </message>
    <message>
        <source>16進数（空欄で任意の値）:</source>
        <translation>Hex (empty matches any value):</translation>
    </message>
    <message>
        <source>文字列入力...</source>
        <translation>Enter string...</translation>
    </message>
    <message>
        <source>コードの選択...</source>
        <translation>Select code...</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>文字列入力</source>
        <translation>Enter string</translation>
    </message>
    <message>
        <source>文字列:</source>
        <translation>String:</translation>
    </message>
    <message>
        <source>[%1] フレーム</source>
        <translation>[%1] frames</translation>
    </message>
</context>
<context>
    <name>qv::StringInputDialog</name>
    <message>
        <source>文字列入力</source>
        <translation>Enter string</translation>
    </message>
    <message>
        <source>Enterで決定(16バイト)</source>
        <translation>Press Enter to accept (16 bytes)</translation>
    </message>
    <message>
        <source>トリガ設定</source>
        <translation>Trigger settings</translation>
    </message>
    <message>
        <source>文字が入力されていません。
初期化を行いますか？</source>
        <translation>No characters entered.
Clear the condition?</translation>
    </message>
    <message>
        <source>Shift-JISで表せない文字があります</source>
        <translation>Some characters cannot be encoded in Shift-JIS</translation>
    </message>
    <message>
        <source>16バイトを超えています(%1バイト)</source>
        <translation>Longer than 16 bytes (%1 bytes)</translation>
    </message>
</context>
<context>
    <name>qv::TimeEntryDialog</name>
    <message>
        <source>時刻指定</source>
        <translation>By time</translation>
    </message>
    <message>
        <source>ジャンプ</source>
        <translation>Jump</translation>
    </message>
    <message>
        <source>nsは10単位(0～990)で入力してください</source>
        <translation>Enter ns in steps of 10 (0 to 990)</translation>
    </message>
</context>
<context>
    <name>qv::TriggerDialog</name>
    <message>
        <source>トリガ %1 設定</source>
        <translation>Enable trigger %1</translation>
    </message>
    <message>
        <source>詳細設定</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>すべて</source>
        <translation>all</translation>
    </message>
    <message>
        <source>一つでも</source>
        <translation>any</translation>
    </message>
    <message>
        <source>トリガ設定</source>
        <translation>Trigger settings</translation>
    </message>
    <message>
        <source>条件</source>
        <translation>Condition</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>条件の組み合わせ</source>
        <translation>Combination</translation>
    </message>
    <message>
        <source>上記条件を</source>
        <translation>When</translation>
    </message>
    <message>
        <source>満たしたときに</source>
        <translation>of the conditions above are met</translation>
    </message>
    <message>
        <source>アクション1</source>
        <translation>Action 1</translation>
    </message>
    <message>
        <source>アクション2</source>
        <translation>Action 2</translation>
    </message>
    <message>
        <source>トリガ設定を初期化しますか？</source>
        <translation>Clear this trigger?</translation>
    </message>
</context>
<context>
    <name>qv::TriggerJumpDialog</name>
    <message>
        <source>ジャンプ</source>
        <translation>Jump</translation>
    </message>
    <message>
        <source>トリガジャンプ</source>
        <translation>Jump to trigger</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qv::TriggerListDialog</name>
    <message>
        <source>クリア(&amp;C)</source>
        <translation>&amp;Clear</translation>
    </message>
    <message>
        <source>トリガ設定</source>
        <translation>Trigger settings</translation>
    </message>
    <message>
        <source>トリガ%1</source>
        <translation>Trigger %1</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>すべてのトリガ設定を初期化しますか？</source>
        <translation>Clear all triggers?</translation>
    </message>
</context>
<context>
    <name>qv::UnitInfoDialog</name>
    <message>
        <source>本体情報</source>
        <translation>Unit information</translation>
    </message>
    <message>
        <source>再読込</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>モニタ停止</source>
        <translation>Stop monitoring</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>本体情報 [拡張] </source>
        <translation>Unit information [extended] </translation>
    </message>
</context>
<context>
    <name>qv::UnitSelectDialog</name>
    <message>
        <source>モニタ機器選択</source>
        <translation>Select unit</translation>
    </message>
    <message>
        <source>型番</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>シリアル番号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Attached</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>現在接続されている機器のみ表示</source>
        <translation>Show only the units attached now</translation>
    </message>
    <message>
        <source>履歴を含めた全ての機器を表示</source>
        <translation>Show every unit ever seen</translation>
    </message>
    <message>
        <source>決定</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>編集</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>再読込み</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>解除</source>
        <translation>Release</translation>
    </message>
</context>
<context>
    <name>qv::WindowRegistry</name>
    <message>
        <source>ウィンドウオープンに失敗しました！</source>
        <translation>Could not open the window.</translation>
    </message>
    <message>
        <source>モニタデータがありません！</source>
        <translation>The capture holds no data.</translation>
    </message>
    <message>
        <source>モニタが正常に終了していないデータです。チャンクファイルから復旧しますか?</source>
        <translation>This capture was not closed properly. Recover it from its chunk files?</translation>
    </message>
    <message>
        <source>ＱＶ本体が接続されていません！</source>
        <translation>No unit is connected.</translation>
    </message>
    <message>
        <source>モニタスタート出来ませんでした！</source>
        <translation>Could not start monitoring.</translation>
    </message>
    <message>
        <source>モニタデータ読み込みに失敗しました！</source>
        <translation>Could not read the capture data.</translation>
    </message>
    <message>
        <source>モニタデータがありませんでした！</source>
        <translation>No data was captured.</translation>
    </message>
    <message>
        <source>開けるウィンドウは8つまでです</source>
        <translation>At most 8 windows can be open</translation>
    </message>
    <message>
        <source>パラメータ設定できませんでした(%1)</source>
        <translation>Could not set the parameters (%1)</translation>
    </message>
    <message>
        <source>モニタデータの書き込みを終えています... %1%</source>
        <translation>Finishing the capture... %1%</translation>
    </message>
    <message>
        <source>モニタ中にQVのバッファがあふれました。モニタデータに%1か所の欠落があります(計%2秒)。</source>
        <translation>The instrument&apos;s buffer overflowed during monitoring: the capture has %1 gaps (%2 s in all).</translation>
    </message>
</context>
<context>
    <name>qv::Wireshark</name>
    <message>
        <source>範囲をpcapngにしてWiresharkで開きます</source>
        <translation>Exports the range as pcapng and opens it in Wireshark</translation>
    </message>
    <message>
        <source>Wiresharkがインストールされていません</source>
        <translation>Wireshark is not installed</translation>
    </message>
</context>
</TS>
